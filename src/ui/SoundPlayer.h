// Plays the alarm sounds (WAV files) through Qt Multimedia on the desktop's
// sound server, without waiting.
#pragma once

#include <QObject>
#include <QString>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

class QSoundEffect;

namespace qdui {

class SoundPlayer : public QObject {
    Q_OBJECT
public:
    explicit SoundPlayer(std::filesystem::path folder, QObject* parent = nullptr);
    ~SoundPlayer() override;

    // Starts the file (relative names are in the data folder); false with the
    // reason in `why` when there is no such file.
    bool play(const std::string& file, QString& why);

private:
    std::filesystem::path folder_;
    std::map<std::string, std::unique_ptr<QSoundEffect>> effects_;
};

} // namespace qdui
