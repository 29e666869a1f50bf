#include "platform/ui/qt/single_instance.h"

#include <pwd.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>

namespace {

constexpr int kAnswerMs = 1000;
const QByteArray kShowRequest = "show\n";

QString UserName() {
  if (const passwd* entry = getpwuid(getuid())) return QString::fromLocal8Bit(entry->pw_name);
  return QString::number(getuid());
}

}  // namespace

SingleInstance::SingleInstance(const QString& program) : name_(program + "-" + UserName()) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::AnotherIsRunning() {
  QLocalSocket probe;
  probe.connectToServer(name_);
  if (probe.waitForConnected(kAnswerMs)) {
    probe.write(kShowRequest);
    probe.waitForBytesWritten(kAnswerMs);
    probe.disconnectFromServer();
    return true;
  }
  // Nobody answered: a socket file left by a copy that crashed would keep
  // the name taken for ever.
  QLocalServer::removeServer(name_);
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name_)) return false;  // a race lost: run anyway rather than not at all
  QObject::connect(server_.get(), &QLocalServer::newConnection, [this] {
    while (QLocalSocket* peer = server_->nextPendingConnection()) {
      QObject::connect(peer, &QLocalSocket::readyRead, peer, [this, peer] {
        if (peer->readAll().contains("show") && show_) show_();
      });
      QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
    }
  });
  return false;
}
