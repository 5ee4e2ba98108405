#include "framework/Resources.h"

#include <QDir>
#include <QHash>
#include <QImageReader>
#include <mutex>

#include "framework/StringTable.h"

// Bitmaps and icons live in the Qt resource system under these folders, one entry per id:
// ":/vornak/bitmap/<id>" is an image file, ":/vornak/icon/<id>/" a folder holding the icon's
// sizes. The resource library's .qrc file gives the entries these aliases.

namespace {

std::mutex& TableLock() {
    static std::mutex lock;
    return lock;
}

QHash<unsigned, QString>& Table() {
    static QHash<unsigned, QString> table;
    return table;
}

}  // namespace

void InstallStringTable(std::span<const StringResource> table) {
    QHash<unsigned, QString> fresh;
    for (const StringResource& entry : table) {
        if (entry.text != nullptr) {
            fresh.insert(entry.id, QString::fromUtf8(entry.text));
        }
    }
    const std::lock_guard<std::mutex> guard(TableLock());
    Table() = std::move(fresh);
}

std::optional<QString> FindStringResource(unsigned id) {
    const std::lock_guard<std::mutex> guard(TableLock());
    const auto it = Table().constFind(id);
    if (it == Table().constEnd()) {
        return std::nullopt;
    }
    return *it;
}

QString LoadStringResource(unsigned id) {
    return FindStringResource(id).value_or(QString());
}

QImage LoadBitmapResource(unsigned id) {
    QImageReader reader(QStringLiteral(":/vornak/bitmap/%1").arg(id));
    reader.setDecideFormatFromContent(true);
    return reader.read();
}

QIcon LoadIconResource(unsigned id) {
    const QDir dir(QStringLiteral(":/vornak/icon/%1").arg(id));
    const QStringList sizes = dir.entryList(QDir::Files, QDir::Name);
    QIcon icon;
    for (const QString& file : sizes) {
        icon.addFile(dir.filePath(file));
    }
    return icon;
}
