// The program's COM server: it registers the plug-in class object with COM,
// keeps the process serving when the host lets go of its last plug-in object,
// and writes or removes the program's COM registration.
#pragma once

#include <windows.h>

#include <vector>

namespace sentrova {

// Answers whether the server may shut down when the last client reference
// to a plug-in object has gone; false keeps it serving.
using LastReleaseHandler = bool (*)();

class TComServer {
 public:
  TComServer() = default;
  // Revokes the class objects that this server registered.
  ~TComServer();
  TComServer(const TComServer&) = delete;
  TComServer& operator=(const TComServer&) = delete;

  // Registers the plug-in class object (multiple use, free threading) and
  // lets COM hand it out. Throws OleError when COM refuses.
  void RegisterClassObjects();
  void RevokeClassObjects();
  bool ClassObjectsRegistered() const { return !cookies_.empty(); }

  // Writes (true) or removes (false) the program's registration. Throws on
  // the first failing required step; the program's own extra values are each
  // guarded on their own.
  void UpdateRegistry(bool doRegister);

 private:
  std::vector<DWORD> cookies_;
};

// The process's one server object; created on first use.
TComServer& ComServer();
// Destroys the server object (revoking its class objects) and puts a fresh,
// unregistered one in its place.
void ReplaceComServer();

// The last-release handler; none (the default) lets the server shut down.
void SetLastReleaseHandler(LastReleaseHandler handler);

// Server lock bookkeeping of every plug-in object and of IClassFactory::LockServer.
void ServerObjectCreated();
void ServerObjectDestroyed();

}  // namespace sentrova
