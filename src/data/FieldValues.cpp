#include "data/FieldValues.h"

#include "data/PatternFormatter.h"

int digitsOnlyKey(int keyCode)
{
    const bool digit = keyCode >= '0' && keyCode <= '9';
    return digit || keyCode == 8 || keyCode == 9 ? keyCode : 0;
}

QString textOrDefault(const QVariant &value, const QString &predefinito)
{
    if (value.isNull() || value.typeId() != QMetaType::QString)
        return predefinito;
    return value.toString();
}

double numberOrDefault(const QVariant &value, double predefinito)
{
    if (value.isNull())
        return predefinito;
    bool ok = false;
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        double number = appLocale().toDouble(text, &ok);
        if (!ok)
            number = text.toDouble(&ok);
        return ok ? number : predefinito;
    }
    const double number = value.toDouble(&ok);
    return ok ? number : predefinito;
}

bool isCodeCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z');
}
