#include "migrate/TableSource.h"

namespace Migrate {

QString ColumnTypeName(ColumnType type)
{
    switch (type) {
    case ColumnType::Text:
        return QStringLiteral("文本");
    case ColumnType::Memo:
        return QStringLiteral("备注");
    case ColumnType::Byte:
        return QStringLiteral("字节");
    case ColumnType::Integer:
        return QStringLiteral("整型");
    case ColumnType::Long:
        return QStringLiteral("长整型");
    case ColumnType::Single:
        return QStringLiteral("单精度型");
    case ColumnType::Double:
        return QStringLiteral("双精度型");
    case ColumnType::Currency:
        return QStringLiteral("货币");
    case ColumnType::DateTime:
        return QStringLiteral("日期/时间");
    case ColumnType::Boolean:
        return QStringLiteral("是/否");
    case ColumnType::Binary:
        return QStringLiteral("二进制");
    case ColumnType::Ole:
        return QStringLiteral("OLE 对象");
    case ColumnType::Guid:
        return QStringLiteral("同步复制 ID");
    case ColumnType::Decimal:
        return QStringLiteral("小数");
    case ColumnType::Other:
        break;
    }
    return QStringLiteral("其他");
}

}   // namespace Migrate
