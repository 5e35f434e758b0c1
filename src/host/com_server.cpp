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

// Open while no class object waits to be resumed. Manual reset, created open.
HANDLE ObjectsOffered() {
  static const HANDLE event = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
  return event;
}
constexpr DWORD kOfferWaitMs = 60000;
}  // namespace

TComServer::~TComServer() {
  RevokeClassObjects();
  DropServerReference();
}

void TComServer::RegisterClassObjects() {
  if (!cookies_.empty()) return;
  if (!holdsReference_) {
    ::CoAddRefServerProcess();
    holdsReference_ = true;
  }
  if (HANDLE offered = ObjectsOffered()) ::ResetEvent(offered);
  DWORD cookie = 0;
  const HRESULT hr = ::CoRegisterClassObject(kVrxObjClassId, VrxObjFactory(), CLSCTX_LOCAL_SERVER,
                                             REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED, &cookie);
  if (FAILED(hr)) {
    if (HANDLE offered = ObjectsOffered()) ::SetEvent(offered);
    OleCheck(hr);
  }
  cookies_.push_back(cookie);
}

void TComServer::ResumeClassObjects() {
  if (!cookies_.empty()) ::CoResumeClassObjects();
  if (HANDLE offered = ObjectsOffered()) ::SetEvent(offered);
}

void TComServer::RevokeClassObjects() {
  for (DWORD cookie : cookies_) ::CoRevokeClassObject(cookie);
  cookies_.clear();
  // Nobody waits for objects that are no longer offered.
  if (HANDLE offered = ObjectsOffered()) ::SetEvent(offered);
}

void TComServer::DropServerReference() {
  if (!holdsReference_) return;
  holdsReference_ = false;
  ::CoReleaseServerProcess();
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

void ServerObjectCreated() {
  if (HANDLE offered = ObjectsOffered()) ::WaitForSingleObject(offered, kOfferWaitMs);
  ::CoAddRefServerProcess();
}

void ServerObjectDestroyed() {
  if (::CoReleaseServerProcess() != 0) return;
  // The system has just suspended the class objects of this local server
  // (while the program runs, the server's own reference keeps this from
  // happening). The handler decides; when it keeps the server, the class
  // objects are resumed so that the host's next plug-in object is served by
  // this process.
  const LastReleaseHandler handler = lastReleaseHandler.load();
  if (handler != nullptr && !handler()) ::CoResumeClassObjects();
}

}  // namespace sentrova
