// ombrix classes [CLASS]: the component server's catalogue with its help
// texts, as a client in another language reaches it.
#include <ostream>

#include "ombrix/automation/catalogue.h"
#include "tools/cli.h"

namespace ombrix::cli {
namespace {

using namespace ombrix::automation;

// Prints a help text, each of its lines indented.
void Indented(std::ostream& out, const char* text, const char* indent) {
  if (*text == '\0') return;
  out << indent;
  for (const char* c = text; *c != '\0'; ++c) {
    out << *c;
    if (*c == '\n') out << indent;
  }
  out << "\n";
}

void ListClasses(std::ostream& out) {
  out << kLibraryDescription << "\n";
  for (const ClassInfo& info : Classes()) {
    out << "\n" << info.Name() << " (" << (info.Creatable() ? "creatable" : "not creatable");
    if (info.Persisted()) out << ", persisted";
    if (info.AlsoAnswers() != nullptr) out << ", also answers " << info.AlsoAnswers()->Name;
    out << ", " << info.MemberCount() << " members)\n";
    Indented(out, info.Description(), "  ");
  }
}

void ShowClass(const ClassInfo& info, std::ostream& out) {
  out << info.Name() << (info.Creatable() ? ": clients create it by name" : ": made by the library")
      << (info.Persisted() ? "; saved to property bags" : "") << "\n";
  Indented(out, info.Description(), "  ");
  const Interface* current = nullptr;
  for (size_t k = 0; k < info.MemberCount(); ++k) {
    const Interface* from = nullptr;
    const Member& member = info.MemberAt(k, &from);
    if (from != current) {
      current = from;
      out << "\ninterface " << from->Name << "\n";
    }
    out << "  " << member.Name << " " << KindName(member.Kind) << " (";
    const char* separator = "";
    for (const Parameter& parameter : member.Parameters) {
      out << separator << (parameter.Optional ? "[" : "")
          << (*parameter.Name != '\0' ? parameter.Name : "value") << " As "
          << TypeName(parameter.Of);
      if (parameter.Optional) out << " = " << parameter.Default << "]";
      separator = ", ";
    }
    out << ")";
    if (member.Result.Kind != TypeKind::None) out << " As " << TypeName(member.Result);
    if (member.Role == MemberRole::Default) out << "  [default member]";
    if (member.Role == MemberRole::Enumerator) out << "  [hidden: the enumerator]";
    out << "\n";
    Indented(out, member.Help, "      ");
  }
}

}  // namespace

void AddClassesCommand(CLI::App& app, Context& context, std::function<int()>& action) {
  auto* command = app.add_subcommand(
      "classes",
      "The classes the component server (libombrix.so) serves, or one class's members with "
      "their kinds, parameters and help texts");
  auto name = std::make_shared<std::string>();
  command->add_option("CLASS", *name, "A class's name (any case); all classes when left out");
  command->callback([&context, &action, name] {
    action = [&context, name] {
      if (name->empty()) {
        ListClasses(context.out);
        return 0;
      }
      const ClassInfo* info = FindClass(*name);
      if (info == nullptr) throw ArgumentError("CLASS", "no class named '" + *name + "'");
      ShowClass(*info, context.out);
      return 0;
    };
  });
}

}  // namespace ombrix::cli
