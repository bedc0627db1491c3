#include "platform/path_text.h"

namespace corvane {

QString FileNamePart(const QString& p) {
    return p.mid(p.lastIndexOf(kSeparator) + 1);
}

QString FolderPart(const QString& p) {
    const qsizetype last = p.lastIndexOf(kSeparator);
    return last < 0 ? QString() : p.left(last + 1);
}

QString FileStem(const QString& p) {
    const QString name = FileNamePart(p);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

QString FileExtension(const QString& p) {
    const QString name = FileNamePart(p);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot);
}

QString TrimSpaces(const QString& s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin] == u' ') {
        ++begin;
    }
    while (end > begin && s[end - 1] == u' ') {
        --end;
    }
    return s.mid(begin, end - begin);
}

QString NormalizeFolderPath(const QString& p) {
    return CollapseFolderPath(TrimSpaces(p));
}

QString CollapseFolderPath(const QString& p) {
    QString out;
    out.reserve(p.size() + 1);
    for (const QChar c : p) {
        if (c == kSeparator && !out.isEmpty() && out.back() == kSeparator) {
            continue;
        }
        out.append(c);
    }
    if (out.isEmpty() || out.back() != kSeparator) {
        out.append(kSeparator);
    }
    return out;
}

QString ReplaceSecondDriveColon(const QString& p) {
    const qsizetype first = p.indexOf(u':');
    if (first < 0) {
        return p;
    }
    const qsizetype second = p.indexOf(u':', first + 1);
    if (second < 0) {
        return p;
    }
    QString out = p;
    out.replace(second, 1, QStringLiteral("_Drive"));
    return out;
}

QString LeftUnits(const QString& s, qsizetype units) {
    if (units <= 0) {
        return {};
    }
    if (units >= s.size()) {
        return s;
    }
    if (s[units - 1].isHighSurrogate() && s[units].isLowSurrogate()) {
        --units;
    }
    return s.left(units);
}

QString RightUnits(const QString& s, qsizetype units) {
    if (units <= 0) {
        return {};
    }
    if (units >= s.size()) {
        return s;
    }
    qsizetype start = s.size() - units;
    if (s[start].isLowSurrogate() && s[start - 1].isHighSurrogate()) {
        ++start;
    }
    return s.mid(start);
}

}  // namespace corvane
