#include "orba/common/exceptions.h"

#include <map>
#include <mutex>
#include <shared_mutex>
#include <utility>

#include "orba/common/utf8.h"

namespace orba {

EVoException::EVoException(WideString message, int32_t code)
    : message_(std::move(message)), utf8_(ToUtf8(message_)), code_(code) {}

EVoExceptionClass EVoException::ClassType() const { return VoExceptionClassOf<EVoException>(); }

namespace {

// Code-to-class registrations and the default class of each group. Filled at
// start-up, read from any thread.
class ExceptionRegistry {
 public:
  void Register(std::u16string_view group, int32_t code, EVoExceptionClass cls) {
    std::unique_lock lock(mutex_);
    classes_[{WideString(group), code}] = cls;
  }
  void RegisterDefault(std::u16string_view group, EVoExceptionClass cls) {
    std::unique_lock lock(mutex_);
    defaults_[WideString(group)] = cls;
  }
  EVoExceptionClass Find(std::u16string_view group, int32_t code) const {
    std::shared_lock lock(mutex_);
    auto it = classes_.find(std::pair(WideString(group), code));
    return it == classes_.end() ? nullptr : it->second;
  }
  EVoExceptionClass FindDefault(std::u16string_view group) const {
    std::shared_lock lock(mutex_);
    auto it = defaults_.find(group);
    return it == defaults_.end() ? VoExceptionClassOf<EVoException>() : it->second;
  }

 private:
  mutable std::shared_mutex mutex_;
  std::map<std::pair<WideString, int32_t>, EVoExceptionClass> classes_;
  std::map<WideString, EVoExceptionClass, std::less<>> defaults_;
};

// Created on first use, so that registrations from other units' static initialisers
// find it ready.
ExceptionRegistry& Registry() {
  static ExceptionRegistry registry;
  return registry;
}

void CheckClass(EVoExceptionClass cls) {
  if (!cls) throw EVoException(u"An exception class must be given to register it.", EConvertError::kInvalidArgument);
}

}  // namespace

void VoRegisterExceptionClass(std::u16string_view group, int32_t code, EVoExceptionClass cls) {
  CheckClass(cls);
  Registry().Register(group, code, cls);
}

void VoRegisterDefaultExceptionClass(std::u16string_view group, EVoExceptionClass cls) {
  CheckClass(cls);
  Registry().RegisterDefault(group, cls);
}

EVoExceptionClass VoGetExceptionClass(std::u16string_view group, int32_t code) { return Registry().Find(group, code); }

EVoExceptionClass VoGetExceptionClass(std::u16string_view group, int32_t code, bool useDefault) {
  EVoExceptionClass cls = Registry().Find(group, code);
  if (!cls && useDefault) cls = Registry().FindDefault(group);
  return cls;
}

std::exception_ptr VoCreateException(std::u16string_view group, int32_t code, const WideString& text) {
  return VoGetExceptionClass(group, code, true)->Create(text, code);
}

}  // namespace orba
