// Signal databases from Python: read or parse a DBC file, decode a frame to
// a dict of values, encode a dict of values to a frame, and look at the
// messages and signals as dicts.
#include <pybind11/stl.h>

#include <array>
#include <cmath>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/dbc/dbc_file.h"
#include "ombrix/signals/message_codec.h"
#include "python/bindings.h"

namespace ombrix::python {
namespace {

using signals::MessageCodec;

// A database and the codecs of its messages, which point into it: immutable
// once made.
class Database {
 public:
  explicit Database(signals::SignalDatabase database) : database_(std::move(database)) {
    codecs_.reserve(database_.Messages.size());
    for (size_t k = 0; k < database_.Messages.size(); ++k) {
      const signals::Message& message = database_.Messages[k];
      codecs_.emplace_back(message);
      // Each signal's name as a Python str, made once rather than per frame.
      std::vector<py::object> names;
      for (const signals::Signal& signal : message.Signals) {
        names.push_back(py::str(signal.Name));
        for (const auto& [value, text] : signal.Values) texts_.try_emplace(&text, py::str(text));
      }
      names_.push_back(std::move(names));
      by_id_.try_emplace(Key(message.Id, message.Extended), k);
      by_name_.try_emplace(message.Name, k);
    }
  }
  const signals::SignalDatabase& Get() const noexcept { return database_; }

  // The position of a message given by name or by identifier.
  size_t Index(const py::object& message, bool extended) const {
    if (py::isinstance<py::str>(message)) {
      const auto found = by_name_.find(message.cast<std::string>());
      if (found == by_name_.end()) {
        throw py::key_error("no message named " + message.cast<std::string>());
      }
      return found->second;
    }
    if (!PyLong_Check(message.ptr())) {
      throw py::type_error("message: a name (str) or an identifier (int), not " +
                           std::string(Py_TYPE(message.ptr())->tp_name));
    }
    int overflow = 0;
    const long long id = PyLong_AsLongLongAndOverflow(message.ptr(), &overflow);
    const std::optional<size_t> found = overflow == 0 && id >= 0 && id <= 0xFFFFFFFF
                                            ? FindId(static_cast<uint32_t>(id), extended)
                                            : std::nullopt;
    if (!found) {
      throw py::key_error("no " + std::string(extended ? "extended" : "standard") +
                          " message with identifier " + py::str(message).cast<std::string>());
    }
    return *found;
  }
  const MessageCodec& Codec(const py::object& message, bool extended) const {
    return codecs_[Index(message, extended)];
  }
  const MessageCodec& CodecAt(size_t index) const { return codecs_[index]; }
  // The position of the message with this identifier, if any.
  std::optional<size_t> FindId(uint32_t id, bool extended) const {
    const auto found = by_id_.find(Key(id, extended));
    if (found == by_id_.end()) return std::nullopt;
    return found->second;
  }
  // A value description as a Python str, made once.
  const py::object& TextOf(const std::string& text) const { return texts_.at(&text); }
  // Signal k's name of message `index` as a Python str.
  const py::object& NameOf(size_t index, size_t k) const { return names_[index][k]; }

 private:
  static uint64_t Key(uint32_t id, bool extended) {
    return uint64_t{id} | uint64_t{extended} << 32;
  }
  signals::SignalDatabase database_;
  std::vector<MessageCodec> codecs_;
  std::vector<std::vector<py::object>> names_;
  std::unordered_map<uint64_t, size_t> by_id_;
  std::unordered_map<std::string, size_t> by_name_;
  std::unordered_map<const std::string*, py::object> texts_;
};

// An integer signal's raw value exactly (a double holds only 53 bits).
py::object ExactRaw(const signals::Signal& signal, uint64_t bits) {
  if (!signal.Signed) return py::int_(bits);
  const unsigned unused = 64 - signal.Length;
  return py::int_(static_cast<int64_t>(bits << unused) >> unused);
}

py::dict SignalDict(const signals::Signal& s) {
  py::dict d;
  d["name"] = s.Name;
  d["start_bit"] = s.StartBit;
  d["length"] = s.Length;
  d["byte_order"] = s.Order == signals::ByteOrder::Intel ? "intel" : "motorola";
  d["skipped_bits"] = s.Order == signals::ByteOrder::Intel
                          ? signals::IntelSkippedBits(s.StartBit)
                          : signals::MotorolaSkippedBits(s.StartBit);
  d["signed"] = s.Signed;
  d["type"] = s.Type == signals::ValueType::Integer ? "integer"
              : s.Type == signals::ValueType::Float ? "float"
                                                    : "double";
  d["factor"] = s.Factor;
  d["offset"] = s.Offset;
  d["minimum"] = s.Minimum;
  d["maximum"] = s.Maximum;
  d["unit"] = s.Unit;
  d["receivers"] = s.Receivers;
  d["multiplexer"] = s.IsMultiplexer;
  d["multiplex_value"] = s.MultiplexValue ? py::object(py::int_(*s.MultiplexValue)) : py::none();
  py::dict values;
  for (const auto& [value, text] : s.Values) values[py::int_(value)] = text;
  d["values"] = values;
  d["comment"] = s.Comment;
  return d;
}

py::dict MessageDict(const signals::Message& m) {
  py::dict d;
  d["id"] = m.Id;
  d["extended"] = m.Extended;
  d["name"] = m.Name;
  d["length"] = m.Length;
  d["sender"] = m.Sender;
  d["comment"] = m.Comment;
  py::list list;
  for (const signals::Signal& s : m.Signals) list.append(SignalDict(s));
  d["signals"] = list;
  return d;
}

// {name: value} of a frame of message `index`, a value description in place
// of its number; signals the frame leaves out are not in it.
py::dict ValuesOf(const Database& db, size_t index, std::span<const uint8_t> bytes) {
  const MessageCodec& codec = db.CodecAt(index);
  const size_t signals = codec.Definition().Signals.size();
  // Room for the signals on the stack for most messages, never per call on the heap.
  std::array<signals::DecodedSignal, 16> room;
  std::vector<signals::DecodedSignal> more(signals > room.size() ? signals : 0);
  const std::span<signals::DecodedSignal> out =
      more.empty() ? std::span<signals::DecodedSignal>(room) : more;
  const size_t count = codec.Decode(bytes, out);
  const signals::Signal* first = codec.Definition().Signals.data();
  py::dict result;
  for (size_t k = 0; k < count; ++k) {
    const signals::DecodedSignal& s = out[k];
    const py::object& name = db.NameOf(index, static_cast<size_t>(s.Definition - first));
    const py::object value = s.Text != nullptr
                                 ? db.TextOf(*s.Text)
                                 : py::reinterpret_steal<py::object>(PyFloat_FromDouble(s.Value));
    if (!value || PyDict_SetItem(result.ptr(), name.ptr(), value.ptr()) != 0) {
      throw py::error_already_set();
    }
  }
  return result;
}

// SignalDatabase.decode as CPython calls its own methods, without the
// argument matching of a general binding, which costs more than decoding a
// frame: the common call, decode(identifier, data[, extended]), is served
// here; any other (a name, keywords, detail, or anything that must raise)
// goes to the general method, which gives the same answers.
PyObject* DecodeFast(PyObject* self, PyObject* const* args, Py_ssize_t count, PyObject* keywords) {
  if (keywords == nullptr && (count == 2 || count == 3) && PyLong_CheckExact(args[0]) &&
      PyObject_CheckBuffer(args[1]) && (count == 2 || PyBool_Check(args[2]))) {
    try {
      const Database* db = InstanceValue<Database>(self);
      if (db == nullptr) throw py::type_error();
      const unsigned long id = PyLong_AsUnsignedLong(args[0]);
      const bool extended = count == 3 && args[2] == Py_True;
      const std::optional<size_t> index =
          id <= 0xFFFFFFFFul ? db->FindId(static_cast<uint32_t>(id), extended) : std::nullopt;
      if (PyErr_Occurred() != nullptr) PyErr_Clear();
      if (index) {
        const PyBytes bytes(args[1], "data");
        return ValuesOf(*db, *index, bytes.Span()).release().ptr();
      }
    } catch (py::error_already_set& e) {
      e.restore();
      return nullptr;
    } catch (...) {
      PyErr_Clear();  // the general method raises it properly
    }
  }
  return CallGeneral(self, "decode", args, count, keywords);
}

}  // namespace

void BindSignals(py::module_& m) {
  py::class_<Database, std::shared_ptr<Database>> database_class(
      m, "SignalDatabase",
      "Messages and their signals, read from DBC: decode frames to values by name and encode "
      "values to frames. Immutable once read.");
  database_class
      .def_static(
          "read",
          [](const std::string& path) {
            signals::SignalDatabase database;
            {
              const LetOthersRun others;
              database = formats::ReadDbcFile(path);
            }
            return std::make_shared<Database>(std::move(database));
          },
          py::arg("path"),
          "Reads a DBC file (ombrix.FileError with the line and column of a fault).")
      .def_static(
          "parse",
          [](const std::string& text, const std::string& name) {
            return std::make_shared<Database>(formats::ParseDbc(text, name));
          },
          py::arg("text"), py::arg("name") = "text",
          "Reads DBC text; name stands for it in errors.")
      .def(
          "text", [](const Database& db) { return formats::FormatDbc(db.Get()); },
          "The database as DBC text, which reads back to the same database.")
      .def(
          "write",
          [](const Database& db, const std::string& path) {
            formats::WriteDbcFile(db.Get(), path);
          },
          py::arg("path"), "Writes the database as a DBC file, safely.")
      .def(
          "messages",
          [](const Database& db) {
            py::list list;
            for (const signals::Message& message : db.Get().Messages)
              list.append(MessageDict(message));
            return list;
          },
          "Every message as a dict (id, extended, name, length, sender, comment, signals).")
      .def(
          "message",
          [](const Database& db, const py::object& message, bool extended) {
            return MessageDict(db.Codec(message, extended).Definition());
          },
          py::arg("message"), py::arg("extended") = false,
          "One message, by name or identifier, as a dict; KeyError when there is none.")
      .def(
          "problems", [](const Database& db) { return signals::Problems(db.Get()); },
          "What is wrong with the database: duplicate names, overlapping signals, signals that "
          "leave their message.")
      .def(
          "encode",
          [](const Database& db, const py::object& message, const py::dict& values, bool extended) {
            const MessageCodec& codec = db.Codec(message, extended);
            std::map<std::string, signals::EncodedValue> given;
            for (const auto& [key, value] : values) {
              if (py::isinstance<py::str>(value)) {
                given[key.cast<std::string>()] = value.cast<std::string>();
              } else {
                given[key.cast<std::string>()] = value.cast<double>();
              }
            }
            const std::vector<uint8_t> frame = codec.Encode(given);
            return py::bytes(reinterpret_cast<const char*>(frame.data()), frame.size());
          },
          py::arg("message"), py::arg("values"), py::arg("extended") = false,
          "A frame of the message's length from {signal: physical value or value name}, zeros "
          "elsewhere; raw values rounded to the nearest, ties to even. Error 2000 naming the "
          "signal, its limits and the value when one does not fit.")
      .def("__repr__", [](const Database& db) {
        return "<SignalDatabase " + std::to_string(db.Get().Messages.size()) + " messages>";
      });
  // decode in its general form, which serves every call; the fast form put
  // in front of it hands it the calls it does not serve.
  database_class.def(
      "decode",
      [](const Database& db, const py::object& message, const py::buffer& data, bool extended,
         bool detail) {
        const PyBytes bytes(data, "data");
        const size_t index = db.Index(message, extended);
        if (!detail) return ValuesOf(db, index, bytes.Span());
        const MessageCodec& codec = db.CodecAt(index);
        const signals::Signal* first = codec.Definition().Signals.data();
        py::dict result;
        for (const signals::DecodedSignal& s : codec.Decode(bytes.Span())) {
          const py::object& name = db.NameOf(index, static_cast<size_t>(s.Definition - first));
          py::dict d;
          const bool integer = s.Definition->Type == signals::ValueType::Integer;
          d["raw"] = integer ? ExactRaw(*s.Definition, s.Bits) : py::object(py::float_(s.Raw));
          d["value"] = s.Value;
          d["unit"] = s.Definition->Unit;
          d["text"] = s.Text ? db.TextOf(*s.Text) : py::none();
          result[name] = d;
        }
        return result;
      },
      py::arg("message"), py::arg("data"), py::arg("extended") = false, py::arg("detail") = false);
  PutInFront<DecodeFast>(
      database_class, "decode",
      "decode($self, /, message, data, extended=False, detail=False)\n--\n\n"
      "A frame's signals (the message by name or identifier; data any bytes-like object, read "
      "without a copy): {name: value}, a value description in place of its number; with "
      "detail, {name: {'raw', 'value', 'unit', 'text'}}. Multiplexed signals only when "
      "selected.");
}

}  // namespace ombrix::python
