// ORBANTIS.IKELMORA as a table: the 173 entries of the dual interface in
// their fixed order with their dispatch identifiers, then the extensions:
// initFiscalPrinterDevice (372), printReceipt (373), getReceipt (374) and
// the property codePage (375).
//
// Every way a client reaches the object goes through this table: direct D-Bus
// calls, late-bound Invoke, GetIDsOfNames, and the introspection XML, which
// is generated from it. The command methods take their arguments from the
// printer model's command rows, so a command is declared once.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "uORBANTIS/TKELMORA.h"

namespace orbantis::automation {

// A value on the interface: 32-bit integer, boolean or string.
using Value = std::variant<std::int32_t, bool, WideString>;

enum class ArgType : char { Int = 'i', Bool = 'b', String = 's' };

struct ArgSpec {
  std::string name;
  ArgType type;
  bool inOut = false;  // by reference: passed in and handed back after the call
  // An answer that the type library declares as an in parameter of type
  // reference-to-string (the answers of CMD_112_0 and CMD_120_19): written
  // back like an in-out one, but a marshaller that follows the declaration
  // does not copy it back to an early-bound client in another process.
  bool declaredAsInput = false;
};

enum class EntryKind { Method, PropertyRead, PropertyWrite };

struct InterfaceEntry {
  std::string name;
  std::int32_t dispId;
  EntryKind kind;
  std::vector<ArgSpec> args;      // declared order
  std::optional<ArgType> result;  // none: the method returns nothing
  // Runs the entry: args holds one value per ArgSpec, of its type; in-out
  // values are replaced. Returns the result (none for showLogoForm and
  // property writes).
  std::function<std::optional<Value>(TKELMORA&, std::vector<Value>&)> call;
};

// The interface in table order; the two properties appear as a read and a
// write entry each.
const std::vector<InterfaceEntry>& InterfaceEntries();

// The method entry of that name, or the read entry of a property; nullptr
// when there is none.
const InterfaceEntry* FindEntry(std::string_view name);
// The entry with that dispatch identifier and kind.
const InterfaceEntry* FindEntry(std::int32_t dispId, EntryKind kind);

// Fixed identifiers of the type library, the interfaces and the class.
inline constexpr const char* TYPELIB_UUID = "5d0c2b7e-31a4-4f6e-9b2d-7c1e8a4f0b61";
inline constexpr const char* IKELMORA_UUID = "8e4f1a93-6c2d-4b57-a0e8-2f9d3c7b5e14";
inline constexpr const char* IKELMORAEVENTS_UUID = "c37a9e02-5b8f-4d16-8e4a-91b0f6d2c3a8";
inline constexpr const char* KELMORA_UUID = "1f6b8d4c-e2a7-4930-b5c1-6a8e0d2f7b93";

// The introspection XML of an automation object: the standard interfaces,
// ORBANTIS.IKELMORA in table order with its annotations, the events and
// ORBANTIS.Automation.
std::string ObjectIntrospectionXml();
// The interface description installed beside the service file: the same
// three ORBANTIS interfaces.
std::string InterfaceDescriptionXml();

}  // namespace orbantis::automation
