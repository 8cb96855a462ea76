// Fuzz target: the automation interface's entries called on an automation
// object that has no printer object.
//
// Input layout:
//   byte 0      number of calls, 1..8 (taken modulo 8, plus one)
//   per call    one byte choosing the entry (modulo the number of entries),
//               then its arguments in declared order:
//                 integer  4 bytes, least significant first
//                 boolean  1 byte, bit 0
//                 string   1 length byte L, then: L < 128: L bytes of UTF-8
//                          (decoded as the bus does, bad sequences becoming
//                          U+FFFD); L >= 128: L - 128 raw UTF-16 code units,
//                          two bytes each (lone surrogates and 0 included)
// An input that runs out gives zeros and empty strings.
//
// CONNECT_TO_PRINTER is left out: it would create the printer object and
// open whatever port or TCP address the earlier calls named. Without it the
// object never gets one, so nothing here touches a device or the network.
// The server's log folder (written after an initialiser when a call fails) is
// a private temporary folder: XDG_DATA_HOME is pointed there.
//
// Invariants: no crash and no escaping exception (but from writing a code
// page other than 1251 or 1252, which must leave the property unchanged); an
// entry returns a value exactly when it declares a result, of the declared
// type; every argument keeps its type; with no printer object every printer command fails with a
// negative code and hands back empty answer values (the two status reads
// keep what the client passed), CUSTOM_CMD answers false, and no status bit
// is set.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "printer_model/CommandTable.h"
#include "uORBANTIS/InterfaceTable.h"
#include "uORBANTIS/TKELMORA.h"
#include "foundation/CodePage.h"

namespace {

using namespace orbantis;
using namespace orbantis::automation;

std::string gFolder;

void RemoveFolder() {
  if (gFolder.empty()) return;
  // Only this run's folder, which holds nothing but the server's logs.
  const std::string command = "rm -rf '" + gFolder + "'";
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", gFolder.c_str());
}

std::vector<const InterfaceEntry*> BuildCallable() {
  std::vector<const InterfaceEntry*> entries;
  for (const auto& e : InterfaceEntries())
    if (e.name != "CONNECT_TO_PRINTER") entries.push_back(&e);
  return entries;
}

const std::vector<const InterfaceEntry*>& Callable() {
  static const std::vector<const InterfaceEntry*> entries = BuildCallable();
  return entries;
}

// The entries that run a command row (the interface's own methods have
// other names).
bool IsPrinterCommand(const InterfaceEntry& e) {
  if (e.name.rfind("CMD_", 0) != 0) return false;
  return e.name == "CMD_121_0" || cmd::FindCommand(e.name) != nullptr;
}

bool IsStatusRead(const InterfaceEntry& e) { return e.name == "CMD_74_0_0" || e.name == "CMD_74_0_1"; }

bool HasType(const Value& v, ArgType type) {
  switch (type) {
    case ArgType::Int: return std::holds_alternative<std::int32_t>(v);
    case ArgType::Bool: return std::holds_alternative<bool>(v);
    case ArgType::String: return std::holds_alternative<WideString>(v);
  }
  return false;
}

Value ReadArgument(fuzz::ByteReader& in, ArgType type) {
  switch (type) {
    case ArgType::Int: return in.Int32();
    case ArgType::Bool: return in.Bool();
    case ArgType::String: {
      const std::uint8_t length = in.Byte();
      if (length < 128) return Utf8ToWide(in.Bytes(length));
      return in.Units(length - 128u);
    }
  }
  return std::int32_t {0};
}

// Counts the events and checks what they carry.
class Sink : public IKELMORAEvents {
 public:
  void ON_ERROR(std::int32_t, const WideString& message) override {
    FUZZ_CHECK(message.size() < (1u << 20));
    ++Errors;
  }
  void OnProgress(std::int32_t, const WideString&) override {}
  void OnStartProgress() override {}
  void OnEndProgress() override {}
  int Errors = 0;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string pattern = "/tmp/orbantis-fuzz-interface-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  gFolder = pattern;
  ::setenv("XDG_DATA_HOME", gFolder.c_str(), 1);
  // getReceipt opens the receipt journal: this run's, not the user's.
  ::setenv("XDG_STATE_HOME", gFolder.c_str(), 1);
  std::atexit(RemoveFolder);
  (void)Callable();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ByteReader in(data, size);
  const auto& callable = Callable();

  TKELMORA object;
  auto sink = std::make_shared<Sink>();
  object.EventSinkChanged(sink);

  const int calls = in.Byte() % 8 + 1;
  for (int k = 0; k < calls; ++k) {
    const InterfaceEntry& e = *callable[in.Byte() % callable.size()];
    std::vector<Value> args;
    for (const ArgSpec& argument : e.args) args.push_back(ReadArgument(in, argument.type));
    const std::vector<Value> given = args;

    // The one entry that refuses a value by failing the call: writing a code
    // page other than 1251 or 1252 (the bus answers with an error). It must
    // leave the property as it was.
    if (e.name == "codePage" && e.kind == EntryKind::PropertyWrite) {
      const std::int32_t before = object.codePage();
      const std::int32_t wanted = std::get<std::int32_t>(args[0]);
      try {
        e.call(object, args);
        FUZZ_CHECK(wanted == 1251 || wanted == 1252);
        FUZZ_CHECK(object.codePage() == wanted);
      } catch (const Exception&) {
        FUZZ_CHECK(wanted != 1251 && wanted != 1252);
        FUZZ_CHECK(object.codePage() == before);
      }
      continue;
    }
    const std::optional<Value> result = e.call(object, args);

    FUZZ_CHECK(object.printer() == nullptr);
    FUZZ_CHECK(result.has_value() == e.result.has_value());
    if (result) FUZZ_CHECK(HasType(*result, *e.result));
    FUZZ_CHECK(args.size() == e.args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
      FUZZ_CHECK(HasType(args[i], e.args[i].type));
      if (!e.args[i].inOut) FUZZ_CHECK(args[i] == given[i]);
    }

    if (IsPrinterCommand(e)) {
      FUZZ_CHECK(std::get<std::int32_t>(*result) < 0);
      for (std::size_t i = 0; i < args.size(); ++i) {
        if (!e.args[i].inOut) continue;
        if (IsStatusRead(e)) FUZZ_CHECK(args[i] == given[i]);
        else FUZZ_CHECK(std::get<WideString>(args[i]).empty());
      }
    }
    if (e.name == "CUSTOM_CMD") FUZZ_CHECK(std::get<bool>(*result) == false);
    if (e.name == "GET_BIT_STATE" || e.name == "getBitState") FUZZ_CHECK(std::get<bool>(*result) == false);
    if (e.name == "getStatusDescription") FUZZ_CHECK(std::get<WideString>(*result).empty());
  }
  return 0;
}
