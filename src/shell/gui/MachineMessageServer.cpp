#include "shell/gui/MachineMessageServer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

QString MachineSocketName(const QString& machineFolder) {
  QFileInfo info(machineFolder);
  QString path = info.canonicalFilePath();
  if (path.isEmpty()) path = QDir::cleanPath(info.absoluteFilePath());
  const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1);
  return "fernwick-" + QString::fromLatin1(hash.toHex().left(16));
}

MachineMessageServer::MachineMessageServer(QObject* parent)
    : QObject(parent), server_(new QLocalServer(this)) {
  connect(server_, &QLocalServer::newConnection, this, &MachineMessageServer::AcceptClients);
}

bool MachineMessageServer::Listen(const QString& machineFolder) {
  const QString name = MachineSocketName(machineFolder);
  // Without turns, two copies could each find no listener, and the second
  // would remove the first one's socket.
  QLockFile turn(QDir::temp().filePath(name + ".lock"));
  if (!turn.tryLock(5000)) return false;
  QLocalSocket probe;
  probe.connectToServer(name);
  if (probe.waitForConnected(200)) return false;  // another copy serves it
  QLocalServer::removeServer(name);                // left behind by a copy that died
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  return server_->listen(name);
}

QString MachineMessageServer::SocketName() const { return server_->serverName(); }

void MachineMessageServer::AcceptClients() {
  while (QLocalSocket* client = server_->nextPendingConnection()) {
    connect(client, &QLocalSocket::readyRead, this, [this, client] { ReadMessages(client); });
    connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    ReadMessages(client);
  }
}

void MachineMessageServer::ReadMessages(QLocalSocket* client) {
  while (client->canReadLine()) {
    const QByteArray line = client->readLine(64).trimmed();
    bool ok = false;
    const unsigned message = line.toUInt(&ok, 16);
    if (ok) emit MessageReceived(message);
  }
  // A line that never ends is no message.
  if (client->bytesAvailable() > 64) client->abort();
}

bool SendMachineMessage(const QString& machineFolder, unsigned message, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(MachineSocketName(machineFolder));
  if (!socket.waitForConnected(timeoutMs)) return false;
  if (socket.write(QByteArray::number(message, 16) + '\n') < 0) return false;
  while (socket.bytesToWrite() > 0)
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
  return true;
}

std::unique_ptr<win::Machine> OpenMachineAtStart(const std::string& folder, MachineMessageServer& messages,
                                                 std::string& error) {
  if (!win::EnsureMachine(folder, error)) return nullptr;
  const bool alone = messages.Listen(QString::fromStdString(folder));
  return win::Machine::Open(folder, error, alone ? win::PendingRestore::Apply : win::PendingRestore::Leave);
}
