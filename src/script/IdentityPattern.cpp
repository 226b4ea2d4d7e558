#include "script/IdentityPattern.h"

#include <QRegularExpression>

namespace IdentityPattern {

bool Matches(const QString& pattern, const QString& value)
{
    // Only * and ? are special, and * runs over every character: a firmware
    // version may hold "/", which Qt's own file-name wildcards stop at.
    QString escaped;
    for (const QChar c : pattern) {
        if (c == '*')
            escaped += QLatin1String(".*");
        else if (c == '?')
            escaped += '.';
        else
            escaped += QRegularExpression::escape(QString(c));
    }
    const QRegularExpression expression(QRegularExpression::anchoredPattern(escaped),
                                        QRegularExpression::CaseInsensitiveOption |
                                            QRegularExpression::DotMatchesEverythingOption);
    return expression.match(value).hasMatch();
}

}  // namespace IdentityPattern
