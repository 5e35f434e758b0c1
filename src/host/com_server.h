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

  // Registers the plug-in class object (multiple use, free threading),
  // suspended: COM hands it out only after ResumeClassObjects, once the
  // program is ready for the host's calls. The server takes one server
  // reference of its own for the process, so that the host releasing its
  // last plug-in object never brings the count to zero while the program
  // runs. Throws OleError when COM refuses.
  void RegisterClassObjects();
  // Lets COM hand the class objects out. Where the system hands them out
  // before that anyway, a plug-in object being made waits until now.
  void ResumeClassObjects();
  void RevokeClassObjects();
  bool ClassObjectsRegistered() const { return !cookies_.empty(); }
  // Gives the server's own reference back (shutdown); once only.
  void DropServerReference();

  // Writes (true) or removes (false) the program's registration. Throws on
  // the first failing required step; the program's own extra values are each
  // guarded on their own.
  void UpdateRegistry(bool doRegister);

 private:
  std::vector<DWORD> cookies_;
  bool holdsReference_ = false;
};

// The process's one server object; created on first use.
TComServer& ComServer();
// Destroys the server object (revoking its class objects) and puts a fresh,
// unregistered one in its place.
void ReplaceComServer();

// The last-release handler; none (the default) lets the server shut down.
void SetLastReleaseHandler(LastReleaseHandler handler);

// Server lock bookkeeping of every plug-in object and of IClassFactory::LockServer.
// While a server's class objects are registered but not yet resumed, a new
// object waits here until they are (at most a minute).
void ServerObjectCreated();
void ServerObjectDestroyed();

}  // namespace sentrova
