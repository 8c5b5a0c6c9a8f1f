#pragma once
// One running copy per user and desktop session. The first copy listens on a
// local server; a later start finds it, asks it to come to the front and
// ends. A lock file makes "is anyone listening?" and "then I listen" one step,
// so two copies started at the same moment still end with exactly one.
#include <QLocalServer>
#include <QObject>
#include <QString>

namespace zul::gui {

// The server name: the single-instance class name with the user and the
// desktop session, so other users and other sessions run their own copy.
QString InstanceServerName();

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        kFirst,   // this copy runs; activation requests arrive as signals
        kSecond,  // another copy runs and was asked to come to the front
    };

    explicit SingleInstance(QString serverName = InstanceServerName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Decides the role; waits at most a few seconds in every case. A server
    // name left behind by a copy that was killed is taken over.
    Role Claim();
    const QString& serverName() const { return serverName_; }

signals:
    void activationRequested();

private:
    bool AskRunningCopy();
    void OnConnection();

    QString serverName_;
    QLocalServer server_;
};

}  // namespace zul::gui
