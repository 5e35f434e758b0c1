#include "host/com_server.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "host/host_contract.h"
#include "host/plugin_object.h"
#include "host/registration.h"
#include "platform/com.h"

namespace sentrova {

namespace {
std::mutex serverMutex;
std::unique_ptr<TComServer> theServer;
std::atomic<LastReleaseHandler> lastReleaseHandler{nullptr};
}  // namespace

TComServer::~TComServer() { RevokeClassObjects(); }

void TComServer::RegisterClassObjects() {
  if (!cookies_.empty()) return;
  DWORD cookie = 0;
  // Registered suspended and then resumed together, as a local server should.
  OleCheck(::CoRegisterClassObject(kVrxObjClassId, VrxObjFactory(), CLSCTX_LOCAL_SERVER,
                                   REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED, &cookie));
  cookies_.push_back(cookie);
  ::CoResumeClassObjects();
}

void TComServer::RevokeClassObjects() {
  for (DWORD cookie : cookies_) ::CoRevokeClassObject(cookie);
  cookies_.clear();
}

void TComServer::UpdateRegistry(bool doRegister) {
  if (doRegister) {
    RegisterComClass();
  } else {
    UnregisterComClass();
  }
}

TComServer& ComServer() {
  std::lock_guard<std::mutex> lock(serverMutex);
  if (!theServer) theServer = std::make_unique<TComServer>();
  return *theServer;
}

void ReplaceComServer() {
  std::unique_ptr<TComServer> old;
  {
    std::lock_guard<std::mutex> lock(serverMutex);
    old = std::move(theServer);
    theServer = std::make_unique<TComServer>();
  }
  // Revoking happens outside the lock: COM may call back into the factory.
  old.reset();
}

void SetLastReleaseHandler(LastReleaseHandler handler) { lastReleaseHandler.store(handler); }

void ServerObjectCreated() { ::CoAddRefServerProcess(); }

void ServerObjectDestroyed() {
  if (::CoReleaseServerProcess() != 0) return;
  // The system has just suspended the class objects of this local server.
  // The handler decides; when it keeps the server, the class objects are
  // resumed so that the host's next plug-in object is served by this process.
  const LastReleaseHandler handler = lastReleaseHandler.load();
  if (handler != nullptr && !handler()) ::CoResumeClassObjects();
}

}  // namespace sentrova
