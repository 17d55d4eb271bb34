#include "platform/qt/private_folder.h"

#include <QDir>
#include <QFile>

#include "platform/exception.h"
#include "platform/locked_folder.h"

PrivateFolder::PrivateFolder() {
    const std::string parent = QFile::encodeName(QDir::tempPath()).toStdString();
    // A folder that cannot be made leaves the player without one; it reports that itself.
    [[maybe_unused]] const ExceptionPtr error =
        CatchException([&] { folder_ = std::make_unique<LockedFolder>(parent); });
}

PrivateFolder::~PrivateFolder() = default;

QString PrivateFolder::filePath(const QString& name) const {
    return QFile::decodeName(QByteArray::fromStdString(folder_->Path())) + '/' + name;
}
