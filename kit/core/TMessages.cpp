#include "kit/core/TMessages.h"

void TMessages::SetMessages(const QStringList &lines)
{
    m_lines = lines;
    m_texts.clear();
    m_texts.reserve(lines.size());
    for (const QString &line : lines) {
        const qsizetype bar = line.indexOf(QLatin1Char('|'));
        if (bar < 0)
            continue; // a line without key is no entry
        m_texts.insert(line.left(bar), line.mid(bar + 1));
    }
}
