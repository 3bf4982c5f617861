// Bus traces from Python: a trace's frames one at a time, each frame's data
// a view on the frame's own bytes; and a whole trace decoded into columns,
// one array of times and one of values per signal.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/dbc/dbc_file.h"
#include "ombrix/signals/message_codec.h"
#include "python/bindings.h"
#include "traces/trace_reader.h"

namespace ombrix::python {
namespace {

using traces::Frame;
using traces::TraceFormat;

std::optional<TraceFormat> FormatNamed(const std::optional<std::string>& name) {
  if (!name) return std::nullopt;
  if (*name == "candump" || *name == "log") return TraceFormat::Candump;
  if (*name == "asc") return TraceFormat::Asc;
  if (*name == "blf") return TraceFormat::Blf;
  if (*name == "trc") return TraceFormat::Trc;
  throw py::value_error("format '" + *name + "' is not candump, asc, blf or trc");
}

// One frame, its bytes its own; its data is a view on them.
struct TraceFrame {
  Frame frame;
  std::string channel;
};

// A trace being read, as a Python iterator.
class Trace {
 public:
  Trace(const std::string& path, const std::optional<std::string>& format, bool strict)
      : reader_(traces::OpenTrace(path, FormatNamed(format), {strict})) {}
  std::optional<TraceFrame> Next() {
    TraceFrame next;
    if (!reader_->Next(next.frame)) return std::nullopt;
    next.channel = reader_->Channels()[next.frame.Channel];
    return next;
  }
  const traces::TraceReader& Reader() const { return *reader_; }

 private:
  std::unique_ptr<traces::TraceReader> reader_;
};

// Columns: a list of doubles, or a numpy array when numpy is there.
py::object Column(std::vector<double>&& values) {
  try {
    py::module_::import("numpy");
  } catch (const py::error_already_set&) {
    return py::cast(values);
  }
  py::array_t<double> array(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), array.mutable_data());
  return array;
}

}  // namespace

void BindTraces(py::module_& module) {
  py::class_<TraceFrame>(module, "TraceFrame", py::buffer_protocol(),
                         "One frame of a bus trace; its bytes are readable as a buffer (data).")
      .def_buffer([](TraceFrame& f) {
        return py::buffer_info(f.frame.Data.data(), 1, py::format_descriptor<uint8_t>::format(), 1,
                               {static_cast<py::ssize_t>(f.frame.Bytes().size())}, {1}, true);
      })
      .def_property_readonly(
          "time", [](const TraceFrame& f) { return static_cast<double>(f.frame.Time) / 1e9; },
          "Seconds since 1970 (or since the trace's start when it gives no date).")
      .def_property_readonly(
          "nanoseconds", [](const TraceFrame& f) { return f.frame.Time; },
          "The time exactly, in nanoseconds.")
      .def_readonly("channel", &TraceFrame::channel, "The channel's name (can0, 1, ...).")
      .def_property_readonly(
          "id", [](const TraceFrame& f) { return f.frame.Id; }, "The identifier.")
      .def_property_readonly(
          "extended", [](const TraceFrame& f) { return f.frame.Extended; },
          "Whether the identifier has 29 bits.")
      .def_property_readonly(
          "remote", [](const TraceFrame& f) { return f.frame.Has(traces::kRemote); },
          "A remote request.")
      .def_property_readonly(
          "fd", [](const TraceFrame& f) { return f.frame.Has(traces::kFd); }, "A CAN FD frame.")
      .def_property_readonly(
          "bit_rate_switch",
          [](const TraceFrame& f) { return f.frame.Has(traces::kBitRateSwitch); },
          "CAN FD: the data phase ran faster.")
      .def_property_readonly(
          "error_state", [](const TraceFrame& f) { return f.frame.Has(traces::kErrorState); },
          "CAN FD: the sender was error passive.")
      .def_property_readonly(
          "error", [](const TraceFrame& f) { return f.frame.Has(traces::kError); },
          "An error frame.")
      .def_property_readonly(
          "transmitted", [](const TraceFrame& f) { return f.frame.Has(traces::kTransmitted); },
          "Sent by the logging node.")
      .def_property_readonly(
          "length", [](const TraceFrame& f) { return f.frame.Length; },
          "Bytes of data (requested, for a remote frame).")
      .def_property_readonly(
          "data", [](py::object self) { return py::memoryview(self); },
          "The data bytes, a view on this frame's own (no copy).")
      .def("__repr__", [](const TraceFrame& f) {
        return "<TraceFrame " + traces::SecondsText(f.frame.Time) + " " + f.channel + " " +
               std::to_string(f.frame.Id) + (f.frame.Extended ? "x" : "") + " " +
               std::to_string(f.frame.Bytes().size()) + " bytes>";
      });

  py::class_<Trace>(
      module, "Trace",
      "A bus trace read one frame at a time: candump log, Vector ASC or BLF, PEAK TRC.")
      .def(
          py::init<const std::string&, const std::optional<std::string>&, bool>(), py::arg("path"),
          py::kw_only(), py::arg("format") = py::none(), py::arg("strict") = false,
          "Opens the trace at path; format (candump, asc, blf, trc) where neither the name nor the "
          "first bytes tell; strict refuses a bad line instead of skipping it.")
      .def("__iter__", [](Trace& trace) -> Trace& { return trace; })
      .def("__next__",
           [](Trace& trace) {
             std::optional<TraceFrame> next = trace.Next();
             if (!next) throw py::stop_iteration();
             return std::move(*next);
           })
      .def_property_readonly(
          "skipped", [](const Trace& trace) { return trace.Reader().SkippedCount(); },
          "Lines skipped as unreadable so far.")
      .def_property_readonly(
          "channels", [](const Trace& trace) { return trace.Reader().Channels(); },
          "The channels met so far.");

  module.def(
      "decode_trace",
      [](const std::string& path, const std::string& dbc, const std::vector<std::string>& wanted,
         const std::optional<std::string>& format) {
        const signals::SignalDatabase database = formats::ReadDbcFile(dbc);
        std::vector<signals::MessageCodec> codecs;
        std::unordered_map<uint64_t, size_t> by_key;
        for (size_t k = 0; k < database.Messages.size(); ++k) {
          codecs.emplace_back(database.Messages[k]);
          by_key.try_emplace(uint64_t{database.Messages[k].Id} |
                                 (database.Messages[k].Extended ? uint64_t{1} << 32 : 0),
                             k);
        }
        // Each chosen signal's columns, by message and signal.
        std::vector<std::string> names;
        std::vector<std::vector<int>> column_of(database.Messages.size());
        for (size_t m = 0; m < database.Messages.size(); ++m) {
          column_of[m].assign(database.Messages[m].Signals.size(), -1);
          for (size_t s = 0; s < database.Messages[m].Signals.size(); ++s) {
            const std::string name =
                database.Messages[m].Name + "." + database.Messages[m].Signals[s].Name;
            const bool chosen =
                wanted.empty() || std::find(wanted.begin(), wanted.end(), name) != wanted.end();
            if (!chosen) continue;
            column_of[m][s] = static_cast<int>(names.size());
            names.push_back(name);
          }
        }
        for (const std::string& name : wanted) {
          if (std::find(names.begin(), names.end(), name) == names.end()) {
            throw py::key_error("the database has no signal " + name + " (give MESSAGE.SIGNAL)");
          }
        }
        std::vector<std::vector<double>> times(names.size()), values(names.size());
        {
          const LetOthersRun others(LetOthersRun::kFrom);
          auto reader = traces::OpenTrace(path, FormatNamed(format));
          Frame frame;
          std::vector<signals::DecodedSignal> decoded;
          while (reader->Next(frame)) {
            if (frame.Has(traces::kError) || frame.Has(traces::kRemote)) continue;
            const auto found =
                by_key.find(uint64_t{frame.Id} | (frame.Extended ? uint64_t{1} << 32 : 0));
            if (found == by_key.end()) continue;
            const size_t m = found->second;
            codecs[m].Decode(frame.Bytes(), decoded);
            for (const signals::DecodedSignal& s : decoded) {
              const int column = column_of[m][static_cast<size_t>(
                  s.Definition - database.Messages[m].Signals.data())];
              if (column < 0) continue;
              times[static_cast<size_t>(column)].push_back(static_cast<double>(frame.Time) / 1e9);
              values[static_cast<size_t>(column)].push_back(s.Value);
            }
          }
        }
        py::dict result;
        for (size_t k = 0; k < names.size(); ++k) {
          result[py::str(names[k])] =
              py::make_tuple(Column(std::move(times[k])), Column(std::move(values[k])));
        }
        return result;
      },
      py::arg("path"), py::arg("dbc"), py::arg("signals") = std::vector<std::string>(),
      py::kw_only(), py::arg("format") = py::none(),
      "Decodes a whole trace with a DBC file: {'Message.Signal': (times, values)}, seconds and "
      "physical values, as numpy arrays when numpy is installed, else lists; every signal, or "
      "those named.");
}

}  // namespace ombrix::python
