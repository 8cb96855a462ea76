// The methods of IKELMORA as orbantis-cli.exe knows them: from the interface
// table that the server and its type library are generated from, with the
// texts of the method reference. Each has its dispatch identifier, its
// arguments (in-out ones marked), its result type and its docs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "uORBANTIS/InterfaceTable.h"

namespace orbantis::cli {

using automation::ArgType;

struct Param {
  std::string name;
  ArgType type;
  bool inOut = false;  // passed by reference: the answer comes back in it
  std::string doc;
};

struct Method {
  std::string name;
  std::int32_t dispId = -1;
  std::vector<Param> params;  // declared order
  std::optional<ArgType> result;
  std::string doc;        // what the method does
  std::string resultDoc;  // the result codes it gives
  // How many arguments a user has to give: every one up to the last value
  // (not in-out) parameter. In-out parameters after it may be left out.
  int Required() const;
};

// A value passed to a method or handed back by it.
struct Value {
  ArgType type = ArgType::String;
  std::int32_t number = 0;
  bool flag = false;
  std::string text;  // UTF-8
};

// The methods in table order (properties are not among them).
const std::vector<Method>& Methods();
// The method of that name; a name written in another case is accepted when
// it matches one method only. nullptr when there is none.
const Method* FindMethod(std::string_view name);
// Names close to an unknown one, for the error message (at most eight).
std::vector<std::string> SimilarMethods(std::string_view name);

// One line for the method list: "CMD_48_0_0 OpCode OpPwd TillNmb [RecCnt GlobRecCnt] -> int".
std::string Synopsis(const Method& method);
// The method's whole entry: synopsis, what it does, its parameters, its result.
std::string Reference(const Method& method);
// The first sentence of a description ("e.g." and "i.e." end none).
std::string FirstSentence(const std::string& doc);

// The call's arguments from the words the user gave: texts as written,
// integers in decimal, booleans as true/false/1/0; in-out parameters left out
// start empty (""; 0; false). False with a message naming the problem.
bool BuildArguments(const Method& method, const std::vector<std::string>& given, std::vector<Value>* args,
                    std::string* error);

// The value as the output shows it: a number, true/false, a text (quoted
// for a result, as it is, but with control characters escaped, for an
// in-out answer).
std::string ShownValue(const Value& v, bool quoteText);

}  // namespace orbantis::cli
