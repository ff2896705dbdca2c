#include "ui/SoundPlayer.h"

#include <QSoundEffect>
#include <QUrl>

namespace qdui {

SoundPlayer::SoundPlayer(std::filesystem::path folder, QObject* parent)
    : QObject(parent), folder_(std::move(folder)) {}

SoundPlayer::~SoundPlayer() = default;

bool SoundPlayer::play(const std::string& file, QString& why) {
    std::filesystem::path path(file);
    if (path.is_relative()) path = folder_ / path;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        why = QStringLiteral("Sound file not found: ") + QString::fromStdString(file);
        return false;
    }
    const std::string key = path.string();
    auto& effect = effects_[key];
    if (!effect) {
        effect = std::make_unique<QSoundEffect>();
        effect->setSource(QUrl::fromLocalFile(QString::fromStdString(key)));
    }
    effect->stop();
    effect->play();
    return true;
}

} // namespace qdui
