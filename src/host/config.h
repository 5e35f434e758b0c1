// TConfig: short-lived access to the toolbar host's configuration store for
// the program's namespace "VRX". Every user creates one, makes a few calls
// and destroys it; each object holds one reference to the host's service.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/host_contract.h"
#include "platform/com.h"

namespace sentrova {

// A new reference to the host's service (CoTB4Server, in-process or local
// server). Throws OleError when the host is not installed or not registered.
ComPtr<ITB4Server> CreateHostService();

class TConfig {
 public:
  // Obtains the host's service; throws OleError when it cannot be created,
  // so that the caller's guarded step is skipped.
  TConfig();
  // Uses a service the caller already holds (another host object, or a fake
  // of the interface); throws OleError for none.
  explicit TConfig(ComPtr<ITB4Server> service);
  virtual ~TConfig() = default;
  TConfig(const TConfig&) = delete;
  TConfig& operator=(const TConfig&) = delete;

  // The reads forward to the service and ignore its status: a read that the
  // service fails yields the call default (GetBool, GetDate) or an empty text.
  bool GetBool(std::string_view key, int32_t callDefault);
  int32_t GetInt(std::string_view key, int32_t callDefault);
  std::string GetStr(std::string_view key, int32_t flag);
  double GetDate(std::string_view key, int32_t callDefault);
  // A text read that tells a failed read (the service's status, or no
  // service answer) from an empty value: nothing then. A key that the host
  // does not hold is an empty value, not a failure.
  std::optional<std::string> TryGetStr(std::string_view key, int32_t flag);
  // Writes pass true as -1 and false as 0; the status is ignored.
  void SetBool(std::string_view key, bool value, bool notify);
  void SetInt(std::string_view key, int32_t value, bool notify);
  void SetStr(std::string_view key, std::string_view value, bool notify);
  void SetDate(std::string_view key, double value, bool notify);
  // SetStr that reports whether the service accepted the value.
  bool TrySetStr(std::string_view key, std::string_view value, bool notify);
  // Makes the values written for "VRX" effective for the host.
  void Commit();

  ITB4Server* Service() const { return service_.get(); }

 private:
  ComPtr<ITB4Server> service_;
  Bstr pluginName_;
};

}  // namespace sentrova
