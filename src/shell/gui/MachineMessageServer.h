#pragma once
// Window messages from other processes (0x2400 restore, 0x1500 quit) reach
// the running program through a local socket named after the machine folder.
// A message is its number in hexadecimal on one line ("2400\n").

#include <QObject>
#include <QString>
#include <memory>
#include <string>

#include "platform/machine/Machine.h"

class QLocalServer;
class QLocalSocket;

// The socket name of a machine folder: the same for every spelling of it.
QString MachineSocketName(const QString& machineFolder);

class MachineMessageServer : public QObject {
  Q_OBJECT

 public:
  explicit MachineMessageServer(QObject* parent = nullptr);

  // Listens on the machine's socket, taking over one that no running copy
  // serves any more. False when another running copy already listens. Copies
  // starting at once take turns, so only one of them listens.
  bool Listen(const QString& machineFolder);
  QString SocketName() const;

 signals:
  void MessageReceived(unsigned message);

 private:
  void AcceptClients();
  void ReadMessages(QLocalSocket* client);

  QLocalServer* server_;
};

// Sends one message to the copy of the program serving that machine; false
// when none answers within timeoutMs.
bool SendMachineMessage(const QString& machineFolder, unsigned message, int timeoutMs = 1000);

// The program's start: makes the machine from the sample when the folder
// holds none, listens on its socket and opens it. A pending restore point is
// put in place only by the copy that listens, the one copy with the machine
// open; a copy started while another runs leaves it pending.
std::unique_ptr<win::Machine> OpenMachineAtStart(const std::string& folder, MachineMessageServer& messages,
                                                 std::string& error);
