# The one name desktops know the program by: the desktop entry, the icon and
# the AppStream metainfo are all named after it.
include_guard(GLOBAL)
set(KESTRUNE_APP_ID io.kestrune.Kestrune)
