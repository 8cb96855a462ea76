// ORBANTIS.IKELMORA as the server describes it: its methods in table order,
// each with its in arguments (in-out parameters marked), its result and the
// values it hands back. Read from introspection XML, either the object's own
// or the interface description the server installs when it is registered.
#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <vector>

namespace orbantis::cli {

inline constexpr const char* kInterfaceName = "ORBANTIS.IKELMORA";

struct Param {
  QString name;
  QChar type;          // D-Bus type letter: 's', 'i' or 'b'
  bool inOut = false;  // passed in, and handed back after the call
  QString doc;         // what it means, from the description
};

struct Method {
  QString name;
  int dispId = -1;
  std::vector<Param> params;  // the in arguments, in declared order
  bool hasResult = false;     // false for a method that returns nothing
  QChar resultType;
  std::vector<Param> outs;  // the out arguments after Result, in reply order
  QString doc;              // what the method does, from the description
  QString resultDoc;        // the result codes it gives
  // How many arguments a user has to give: every one up to the last value
  // (not in-out) parameter. In-out parameters after it may be left out.
  int Required() const;
};

class Interface {
 public:
  // Reads the methods of ORBANTIS.IKELMORA from introspection XML. False,
  // with the reason, when the XML is broken or does not describe it.
  bool Parse(const QString& xml, QString* error);

  const std::vector<Method>& Methods() const { return FMethods; }
  // The method of that name; a name written in another case is accepted
  // when it matches one method only. nullptr when there is none.
  const Method* Find(const QString& name) const;
  // Names close to an unknown one, for the error message (at most eight).
  QStringList Similar(const QString& name) const;

 private:
  std::vector<Method> FMethods;
};

// One line for the method list: "CMD_48_0_0 OpCode OpPwd TillNmb [RecCnt GlobRecCnt] -> int".
QString Synopsis(const Method& method);
// The method's whole entry: synopsis, what it does, its parameters, its result.
QString Reference(const Method& method);

// The call's arguments from the words the user gave: texts as written,
// integers in decimal, booleans as true/false/1/0; in-out parameters left out
// start empty (""; 0; false). False with a message naming the problem.
bool BuildArguments(const Method& method, const QStringList& given, QVariantList* args, QString* error);

// $XDG_DATA_HOME, or ~/.local/share.
QString UserDataHome();
// The installation prefix this program was built for.
QString InstallPrefix();
// Where the registered interface description may be, in the order to try:
// the user's, the installation prefix's, then the system data folders.
QStringList DescriptionFiles();

// What to do when the server is not registered (one paragraph).
QString RegisterAdvice();

}  // namespace orbantis::cli
