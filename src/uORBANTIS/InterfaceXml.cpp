#include "printer_model/CommandTable.h"
#include "uORBANTIS/InterfaceTable.h"
#include "uORBANTIS/MethodDocs.h"

namespace orbantis::automation {
namespace {

std::string escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// The documentation annotation D-Bus browsers show.
constexpr const char* kDocString = "org.gtk.GDBus.DocString";

std::string arg(const std::string& name, ArgType type, const char* direction, const std::string& doc = {}) {
  const std::string open = "      <arg name=\"" + escape(name) + "\" type=\"" + std::string(1, static_cast<char>(type)) +
                           "\" direction=\"" + direction + "\"";
  if (doc.empty()) return open + "/>\n";
  return open + ">\n        <annotation name=\"" + kDocString + "\" value=\"" + escape(doc) + "\"/>\n      </arg>\n";
}

std::string annotation(const char* name, const std::string& value, const char* indent = "      ") {
  return std::string(indent) + "<annotation name=\"" + name + "\" value=\"" + escape(value) + "\"/>\n";
}

std::string ikelmora() {
  std::string x = "  <interface name=\"ORBANTIS.IKELMORA\">\n";
  x += annotation("ORBANTIS.TypeLib", "ORBANTIS", "    ");
  x += annotation("ORBANTIS.TypeLib.Version", "1.0", "    ");
  x += annotation("ORBANTIS.TypeLib.Lcid", "1033", "    ");
  x += annotation("ORBANTIS.TypeLib.HelpString", "ORBANTIS Library", "    ");
  x += annotation("ORBANTIS.TypeLib.Uuid", TYPELIB_UUID, "    ");
  x += annotation("ORBANTIS.HelpString", "Dispatch interface for KELMORA Object", "    ");
  x += annotation("ORBANTIS.Uuid", IKELMORA_UUID, "    ");
  x += annotation("ORBANTIS.Class", "KELMORA", "    ");
  x += annotation("ORBANTIS.Class.Uuid", KELMORA_UUID, "    ");
  for (const auto& e : InterfaceEntries()) {
    if (e.kind != EntryKind::Method) continue;
    x += "    <method name=\"" + e.name + "\">\n";
    for (const auto& a : e.args) x += arg(a.name, a.type, "in", ArgumentDoc(e, a.name));
    if (e.result) x += arg("Result", *e.result, "out", ResultDoc(e));
    for (const auto& a : e.args)
      if (a.inOut) x += arg(a.name, a.type, "out", ArgumentDoc(e, a.name));
    x += annotation("ORBANTIS.DispId", std::to_string(e.dispId));
    if (const std::string doc = MethodSummary(e); !doc.empty()) x += annotation(kDocString, doc);
    x += "    </method>\n";
  }
  for (const InterfaceEntry& property : InterfaceEntries()) {
    if (property.kind != EntryKind::PropertyRead) continue;
    const InterfaceEntry* e = &property;
    x += "    <property name=\"" + e->name + "\" type=\"" + std::string(1, static_cast<char>(*e->result)) +
         "\" access=\"readwrite\">\n";
    x += annotation("ORBANTIS.DispId", std::to_string(e->dispId));
    x += "    </property>\n";
  }
  x += "  </interface>\n";
  return x;
}

std::string events() {
  return "  <interface name=\"ORBANTIS.IKELMORAEvents\">\n" +
         annotation("ORBANTIS.Uuid", IKELMORAEVENTS_UUID, "    ") +
         "    <signal name=\"ON_ERROR\">\n"
         "      <arg name=\"LastErrorCode\" type=\"i\"/>\n"
         "      <arg name=\"LastErrorMessage\" type=\"s\"/>\n" +
         annotation("ORBANTIS.DispId", "201") +
         "    </signal>\n"
         "    <signal name=\"OnProgress\">\n"
         "      <arg name=\"currentValue\" type=\"i\"/>\n"
         "      <arg name=\"progressMessage\" type=\"s\"/>\n" +
         annotation("ORBANTIS.DispId", "202") +
         "    </signal>\n"
         "    <signal name=\"OnStartProgress\">\n" +
         annotation("ORBANTIS.DispId", "203") +
         "    </signal>\n"
         "    <signal name=\"OnEndProgress\">\n" +
         annotation("ORBANTIS.DispId", "204") +
         "    </signal>\n"
         "  </interface>\n";
}

std::string automation() {
  return "  <interface name=\"ORBANTIS.Automation\">\n"
         "    <method name=\"Release\"/>\n"
         "    <method name=\"Advise\">\n"
         "      <arg name=\"cookie\" type=\"u\" direction=\"out\"/>\n"
         "    </method>\n"
         "    <method name=\"Unadvise\">\n"
         "      <arg name=\"cookie\" type=\"u\" direction=\"in\"/>\n"
         "    </method>\n"
         "    <method name=\"GetIDsOfNames\">\n"
         "      <arg name=\"names\" type=\"as\" direction=\"in\"/>\n"
         "      <arg name=\"dispIds\" type=\"ai\" direction=\"out\"/>\n"
         "    </method>\n"
         "    <method name=\"Invoke\">\n"
         "      <arg name=\"dispId\" type=\"i\" direction=\"in\"/>\n"
         "      <arg name=\"flags\" type=\"u\" direction=\"in\"/>\n"
         "      <arg name=\"args\" type=\"av\" direction=\"in\"/>\n"
         "      <arg name=\"result\" type=\"v\" direction=\"out\"/>\n"
         "      <arg name=\"args\" type=\"av\" direction=\"out\"/>\n"
         "    </method>\n"
         "  </interface>\n";
}

const char* kDoctype =
    "<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection 1.0//EN\"\n"
    " \"http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd\">\n";

}  // namespace

std::string InterfaceDescriptionXml() {
  return std::string(kDoctype) + "<node>\n" + ikelmora() + events() + automation() + "</node>\n";
}

std::string ObjectIntrospectionXml() {
  std::string x = std::string(kDoctype) + "<node>\n";
  x += "  <interface name=\"org.freedesktop.DBus.Introspectable\">\n"
       "    <method name=\"Introspect\">\n"
       "      <arg name=\"xml_data\" type=\"s\" direction=\"out\"/>\n"
       "    </method>\n"
       "  </interface>\n"
       "  <interface name=\"org.freedesktop.DBus.Properties\">\n"
       "    <method name=\"Get\">\n"
       "      <arg name=\"interface_name\" type=\"s\" direction=\"in\"/>\n"
       "      <arg name=\"property_name\" type=\"s\" direction=\"in\"/>\n"
       "      <arg name=\"value\" type=\"v\" direction=\"out\"/>\n"
       "    </method>\n"
       "    <method name=\"Set\">\n"
       "      <arg name=\"interface_name\" type=\"s\" direction=\"in\"/>\n"
       "      <arg name=\"property_name\" type=\"s\" direction=\"in\"/>\n"
       "      <arg name=\"value\" type=\"v\" direction=\"in\"/>\n"
       "    </method>\n"
       "    <method name=\"GetAll\">\n"
       "      <arg name=\"interface_name\" type=\"s\" direction=\"in\"/>\n"
       "      <arg name=\"values\" type=\"a{sv}\" direction=\"out\"/>\n"
       "    </method>\n"
       "  </interface>\n";
  x += ikelmora() + events() + automation() + "</node>\n";
  return x;
}

}  // namespace orbantis::automation
