#pragma once

// This test program started again as an ordinary user, for the failures root never meets:
// root opens any file or device whatever its mode. As root the child goes through setpriv
// (util-linux) with another user id and only the groups given. A test run by an ordinary
// user starts it as itself, which the mode bits already refuse.

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

class TUserChild {
public:
    static constexpr uid_t Nobody = 65534;

    // The user and groups apply as root; otherwise the child runs as the test's own user.
    // The child is this test program unless another program is given.
    explicit TUserChild(uid_t uid = Nobody, gid_t gid = Nobody, const QList<gid_t> &groups = {},
                        const QString &program = {})
        : FUid(geteuid() == 0 ? uid : geteuid()), FGid(gid), FGroups(groups) {
        FProgram = program.isEmpty() ? QCoreApplication::applicationFilePath() : program;
        if (geteuid() != 0)
            return;
        if (QStandardPaths::findExecutable("setpriv").isEmpty()) {
            FRefusal = "setpriv (util-linux) is not installed";
            return;
        }
        QProcess probe;
        probe.start("setpriv", Drop() << "true");
        if (!probe.waitForFinished(10000) || probe.exitCode() != 0) {
            FRefusal = "setpriv may not change the user here: " +
                       QString::fromLocal8Bit(probe.readAllStandardError()).trimmed();
            return;
        }
        if (!OthersMayRun(FProgram))
            CopyProgram();
    }

    // Why no child can be started as that user; empty when one can.
    const QString &Refusal() const { return FRefusal; }
    uid_t Uid() const { return FUid; }
    // The login name of the user the child runs as, empty when there is none.
    QString UserName() const {
        const passwd *entry = getpwuid(FUid);
        return entry ? QString::fromLocal8Bit(entry->pw_name) : QString();
    }

    // The command line that starts this program with `arguments` as the user.
    QStringList Command(const QStringList &arguments) const {
        if (geteuid() != 0)
            return QStringList{FProgram} + arguments;
        return QStringList{"setpriv"} + Drop() + QStringList{FProgram} + arguments;
    }

    // Runs `command` (Command's, or one that ends in it) to its end and gives its standard
    // output. Failure() says what went wrong, empty when it ended with status 0.
    QByteArray Run(const QStringList &command, int timeoutMs = 30000) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(command.first(), command.mid(1));
        FFailure.clear();
        if (!child.waitForStarted())
            FFailure = "cannot start " + command.first();
        else if (!child.waitForFinished(timeoutMs)) {
            child.kill();
            child.waitForFinished();
            FFailure = "the child did not end";
        } else if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
            FFailure = QString("the child ended with status %1").arg(child.exitCode());
        return child.readAllStandardOutput();
    }
    const QString &Failure() const { return FFailure; }

private:
    QStringList Drop() const {
        QStringList groups;
        for (gid_t group : FGroups)
            groups << QString::number(group);
        return {QString("--reuid=%1").arg(FUid), QString("--regid=%1").arg(FGid),
                groups.isEmpty() ? QString("--clear-groups") : "--groups=" + groups.join(',')};
    }

    // Whether a user who is neither owner nor in the group may run the file: every folder on
    // its path must let others through.
    static bool OthersMayRun(const QString &path) {
        struct stat entry {};
        if (stat(QFile::encodeName(path).constData(), &entry) != 0 ||
            (entry.st_mode & (S_IROTH | S_IXOTH)) != (S_IROTH | S_IXOTH))
            return false;
        for (QString folder = QFileInfo(path).absolutePath();; folder = QFileInfo(folder).path()) {
            if (stat(QFile::encodeName(folder).constData(), &entry) != 0 ||
                !(entry.st_mode & S_IXOTH))
                return false;
            if (folder == "/")
                return true;
        }
    }

    // A build tree the user may not enter: the program runs from a copy in an open folder.
    void CopyProgram() {
        FCopyDir = std::make_unique<QTemporaryDir>();
        const QString copy = FCopyDir->filePath(QFileInfo(FProgram).fileName());
        const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                          QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        if (!FCopyDir->isValid() || !QFile::setPermissions(FCopyDir->path(), open) ||
            !QFile::copy(FProgram, copy) || !QFile::setPermissions(copy, open)) {
            FRefusal = "cannot copy the test program where the user may run it";
            return;
        }
        FProgram = copy;
    }

    uid_t FUid;
    gid_t FGid;
    QList<gid_t> FGroups;
    QString FProgram;
    std::unique_ptr<QTemporaryDir> FCopyDir;
    QString FRefusal;
    QString FFailure;
};
