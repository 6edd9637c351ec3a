#pragma once

#include <QString>

class QWidget;

// Gives every input field under root that has no accessible name the
// caption of the label that stands before it on its line (or just above
// it): "专家姓名：" names its text box "专家姓名". Screen readers then say what
// a box is for; the layouts place captions beside their fields, not in a
// layout that would relate them.
void NameFieldsByCaptions(QWidget *root);

// A caption as a name: rich text made plain, the blanks that space out
// Chinese characters and the closing colon removed ("用 户 名：" -> "用户名").
QString CaptionAsName(const QString &caption);
