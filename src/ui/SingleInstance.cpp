#include "ui/SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalSocket>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qdui {
namespace {

// A private folder of this user: created 0700; an existing one must be ours and
// closed to others.
bool privateFolder(const QByteArray& path, QString& error) {
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        error = QStringLiteral("cannot create %1: %2").arg(QString::fromLocal8Bit(path), strerror(errno));
        return false;
    }
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = QStringLiteral("%1 is not a folder").arg(QString::fromLocal8Bit(path));
        return false;
    }
    if (st.st_uid != ::getuid() || (st.st_mode & 0077) != 0) {
        error = QStringLiteral("%1 is not private to this user").arg(QString::fromLocal8Bit(path));
        return false;
    }
    return true;
}

// Holds an exclusive lock on a file for its lifetime, so that two programs
// starting at once do not both take the folder.
class FileLock {
public:
    explicit FileLock(const QByteArray& path) {
        fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

} // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::onConnection);
}

SingleInstance::~SingleInstance() {
    server_.close();
}

QString SingleInstance::socketPath(const std::filesystem::path& dataFolder, const QString& display,
                                   QString& error) {
    QByteArray base = qgetenv("XDG_RUNTIME_DIR");
    if (base.isEmpty() || !privateFolder(base, error)) {
        base = "/tmp/quandrel-" + QByteArray::number(::getuid());
        if (!privateFolder(base, error)) return {};
    } else {
        base += "/quandrel";
        if (!privateFolder(base, error)) return {};
    }
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::weakly_canonical(dataFolder, ec);
    const QByteArray key =
        QByteArray::fromStdString((ec ? dataFolder : folder).string()) + '\n' + display.toUtf8();
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(20);
    return QString::fromLocal8Bit(base) + "/qd-" + QString::fromLatin1(hash);
}

SingleInstance::Outcome SingleInstance::claim(const std::filesystem::path& dataFolder, const QString& display,
                                              QString& error) {
    const QString path = socketPath(dataFolder, display, error);
    if (path.isEmpty()) return Outcome::Failed;
    const FileLock lock((path + ".lock").toLocal8Bit());
    if (!lock.held()) {
        error = QStringLiteral("cannot lock %1.lock").arg(path);
        return Outcome::Failed;
    }
    {
        QLocalSocket other;
        other.connectToServer(path);
        if (other.waitForConnected(2000)) {
            other.write("raise\n");
            other.flush();
            // The answer tells that it arrived; a first program that is busy
            // still has the request once its loop runs.
            other.waitForReadyRead(3000);
            return Outcome::RaisedOther;
        }
    }
    // Nobody answers: a socket left by a program that died is removed.
    QLocalServer::removeServer(path);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(path)) {
        error = QStringLiteral("cannot listen on %1: %2").arg(path, server_.errorString());
        return Outcome::Failed;
    }
    return Outcome::First;
}

void SingleInstance::onConnection() {
    while (QLocalSocket* s = server_.nextPendingConnection()) {
        connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        connect(s, &QLocalSocket::readyRead, this, [this, s] {
            while (s->canReadLine()) {
                const QByteArray line = s->readLine().trimmed();
                if (line == "raise") {
                    s->write("ok\n");
                    s->flush();
                    emit raiseRequested();
                }
            }
            // Requests are short; anything longer is not ours.
            if (s->bytesAvailable() > 256) s->abort();
        });
    }
}

} // namespace qdui
