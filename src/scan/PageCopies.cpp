#include "scan/PageCopies.h"

#include "model/Windows1252.h"
#include "scan/PageText.h"

#include <QFile>

namespace corvane {

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

} // namespace

void PageCopies::write(const PageText& text, int slot) const
{
    const QString number = QString::number(slot);
    QString page = text.rewritten();
    page.append(u"\r\n");
    writeFile(m_app.file(QStringLiteral("html") + number + QStringLiteral(".txt")),
              Windows1252::encode(page));
    page.chop(2);
    page.remove(u'\r');
    page.remove(u'\n');
    page.append(u"\r\n");
    writeFile(m_app.file(QStringLiteral("html2") + number + QStringLiteral(".txt")),
              Windows1252::encode(page));
}

} // namespace corvane
