#include "host/config.h"

namespace sentrova {

ComPtr<ITB4Server> CreateHostService() {
  ComPtr<ITB4Server> service;
  OleCheck(::CoCreateInstance(kHostServiceClassId, nullptr,
                              CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              kHostServiceInterfaceId, service.put_void()));
  if (!service) throw OleError(E_NOINTERFACE);
  return service;
}

TConfig::TConfig() : TConfig(CreateHostService()) {}

TConfig::TConfig(ComPtr<ITB4Server> service)
    : service_(std::move(service)), pluginName_(kPluginNameW) {
  if (!service_) throw OleError(E_POINTER);
}

bool TConfig::GetBool(std::string_view key, int32_t callDefault) {
  Bstr name = Bstr::FromAnsi(key);
  VARIANT_BOOL value = callDefault != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  const HRESULT status = service_->ReadBool(pluginName_.get(), name.get(), callDefault, &value);
  // A key the host does not hold is answered with the call default; any
  // other failure of the service reads false, so that a failing host leaves
  // switches (the monitored settings among them) off.
  if (FAILED(status) && status != kHostKeyNotHeld) return false;
  return value != 0;
}

std::string TConfig::GetStr(std::string_view key, int32_t flag) {
  Bstr name = Bstr::FromAnsi(key);
  Bstr value;
  service_->ReadStr(pluginName_.get(), name.get(), flag, value.put());
  return value.Ansi();
}

int32_t TConfig::GetInt(std::string_view key, int32_t callDefault) {
  Bstr name = Bstr::FromAnsi(key);
  LONG value = callDefault;
  service_->ReadInt(pluginName_.get(), name.get(), callDefault, &value);
  return value;
}

std::optional<std::string> TConfig::TryGetStr(std::string_view key, int32_t flag) {
  Bstr name = Bstr::FromAnsi(key);
  Bstr value;
  const HRESULT status = service_->ReadStr(pluginName_.get(), name.get(), flag, value.put());
  // A key the host does not hold reads as an empty text: only a failure of
  // the service itself leaves the caller without an answer.
  if (status == kHostKeyNotHeld) return std::string();
  if (FAILED(status)) return std::nullopt;
  return value.Ansi();
}

double TConfig::GetDate(std::string_view key, int32_t callDefault) {
  Bstr name = Bstr::FromAnsi(key);
  DATE value = callDefault;
  service_->ReadDate(pluginName_.get(), name.get(), callDefault, &value);
  return value;
}

void TConfig::SetBool(std::string_view key, bool value, bool notify) {
  Bstr name = Bstr::FromAnsi(key);
  service_->WriteBool(pluginName_.get(), name.get(), value ? VARIANT_TRUE : VARIANT_FALSE,
                      notify ? VARIANT_TRUE : VARIANT_FALSE);
}

void TConfig::SetInt(std::string_view key, int32_t value, bool notify) {
  Bstr name = Bstr::FromAnsi(key);
  service_->WriteInt(pluginName_.get(), name.get(), value, notify ? VARIANT_TRUE : VARIANT_FALSE);
}

void TConfig::SetStr(std::string_view key, std::string_view value, bool notify) {
  TrySetStr(key, value, notify);
}

bool TConfig::TrySetStr(std::string_view key, std::string_view value, bool notify) {
  Bstr name = Bstr::FromAnsi(key);
  Bstr text = Bstr::FromAnsi(value);
  return SUCCEEDED(service_->WriteStr(pluginName_.get(), name.get(), text.get(),
                                      notify ? VARIANT_TRUE : VARIANT_FALSE));
}

void TConfig::SetDate(std::string_view key, double value, bool notify) {
  Bstr name = Bstr::FromAnsi(key);
  service_->WriteDate(pluginName_.get(), name.get(), value, notify ? VARIANT_TRUE : VARIANT_FALSE);
}

void TConfig::Commit() { service_->Commit(pluginName_.get()); }

}  // namespace sentrova
