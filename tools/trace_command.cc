// ombrix trace stats LOG [--dbc DB]
// ombrix trace decode LOG --dbc DB [--signal MESSAGE.SIGNAL ...] [-o OUT.csv|OUT.jsonl]
// ombrix trace convert IN -o OUT [--out-format candump|asc]
// Every command filters by identifier, channel and time, and reads the
// trace one frame at a time, so memory stays flat whatever its length.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <ostream>
#include <string_view>
#include <unordered_map>

#include "formats/dbc/dbc_file.h"
#include "formats/file_io.h"
#include "ombrix/signals/message_codec.h"
#include "ombrix/signals/physical_text.h"
#include "tools/cli.h"
#include "tools/frame_stream.h"
#include "tools/json_text.h"
#include "tools/signal_plot.h"
#include "traces/trace_reader.h"
#include "traces/trace_writer.h"

namespace ombrix::cli {
namespace {

using namespace ombrix::signals;
using namespace ombrix::traces;

struct TraceOptions {
  std::string input;
  std::string in_format;
  std::string dbc;
  std::vector<std::string> signals;
  std::string output = "-";
  std::string out_format;
  std::vector<std::string> ids;
  std::vector<std::string> channels;
  std::optional<double> from;
  std::optional<double> to;
  bool strict = false;
};

std::optional<TraceFormat> FormatNamed(const std::string& name, const char* option) {
  if (name.empty()) return std::nullopt;
  if (name == "candump" || name == "log") return TraceFormat::Candump;
  if (name == "asc") return TraceFormat::Asc;
  if (name == "blf") return TraceFormat::Blf;
  if (name == "trc") return TraceFormat::Trc;
  throw CLI::ValidationError(std::string(option) + ": '" + name +
                             "' is not candump, asc, blf or trc");
}

// Which frames a command takes.
class Filter {
 public:
  explicit Filter(const TraceOptions& options) : options_(options) {
    for (const std::string& item : options.ids) {
      std::string_view rest = item;
      while (!rest.empty()) {
        const size_t comma = rest.find(',');
        const std::string part(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        const size_t dash = part.find('-', 1);
        const auto low = ParseUnsigned(part.substr(0, dash), "--id", 0x1FFFFFFF);
        const auto high = dash == std::string::npos
                              ? low
                              : ParseUnsigned(part.substr(dash + 1), "--id", 0x1FFFFFFF);
        if (high < low) throw CLI::ValidationError("--id: " + part + " runs backwards");
        ranges_.emplace_back(low, high);
      }
    }
  }

  bool Takes(const Frame& frame, const std::vector<std::string>& channels) const {
    if (!ranges_.empty()) {
      // An error frame has no identifier (its Id is the error's class).
      if (frame.Has(kError)) return false;
      bool found = false;
      for (const auto& [low, high] : ranges_)
        found = found || (frame.Id >= low && frame.Id <= high);
      if (!found) return false;
    }
    if (!options_.channels.empty()) {
      const std::string& name = frame.Channel < channels.size() ? channels[frame.Channel] : kNone;
      bool found = false;
      for (const std::string& wanted : options_.channels) found = found || wanted == name;
      if (!found) return false;
    }
    const double seconds = static_cast<double>(frame.Time) / 1e9;
    if (options_.from && seconds < *options_.from) return false;
    if (options_.to && seconds > *options_.to) return false;
    return true;
  }

 private:
  inline static const std::string kNone;
  const TraceOptions& options_;
  std::vector<std::pair<uint64_t, uint64_t>> ranges_;
};

// Shows how far a long read has come, on a terminal only, a few times a second.
class ProgressBar {
 public:
  explicit ProgressBar(Context& context) : context_(context) {}
  ~ProgressBar() {
    if (shown_) context_.err << "\r" << std::string(60, ' ') << "\r" << std::flush;
  }
  void Update(uint64_t done, uint64_t size, uint64_t frames) {
    if (!context_.progress) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(250)) return;
    last_ = now;
    shown_ = true;
    context_.err << "\r" << frames << " frames";
    if (size > 0) {
      const auto percent =
          static_cast<int>(100.0 * static_cast<double>(done) / static_cast<double>(size));
      context_.err << " [" << std::string(static_cast<size_t>(percent / 5), '#')
                   << std::string(static_cast<size_t>(20 - percent / 5), ' ') << "] " << percent
                   << "%";
    }
    context_.err << std::flush;
  }

 private:
  Context& context_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point last_{};
};

// Reads the trace on a thread of its own and hands each batch of frames to
// `use` here, in order; `work`, when given, is done on each batch first, on
// the reading thread when this one falls behind, here otherwise. Reports the
// lines skipped.
template <typename Use>
void ReadBatches(const TraceOptions& options, Context& context, BatchWork work, Use use) {
  const auto format = FormatNamed(options.in_format, "--in-format");
  FrameStream stream(options.input == "-" && format != TraceFormat::Blf
                         ? ReadTrace(context.in, "<stdin>", format, {options.strict})
                         : OpenTrace(options.input, format, {options.strict}),
                     std::move(work));
  ProgressBar progress(context);
  FrameBatch batch;
  uint64_t frames = 0;
  while (stream.Next(batch)) {
    frames += batch.frames.size();
    progress.Update(batch.read, batch.size, frames);
    use(batch);
  }
  const TraceReader& reader = stream.Reader();
  for (const SkippedLine& skipped : reader.Skipped()) {
    context.err << "ombrix: " << (options.input == "-" ? "<stdin>" : options.input) << ":"
                << skipped.Line << ": " << skipped.Message << " (line skipped)\n";
  }
  if (reader.SkippedCount() > reader.Skipped().size()) {
    context.err << "ombrix: " << reader.SkippedCount() << " lines skipped in all\n";
  }
}

// Reads the trace, calling `use` here for every frame the filter takes, with
// the channels' names.
template <typename Use>
void ForEachFrame(const TraceOptions& options, Context& context, Use use) {
  const Filter filter(options);
  ReadBatches(options, context, {}, [&](const FrameBatch& batch) {
    for (const Frame& frame : batch.frames) {
      if (filter.Takes(frame, *batch.channels)) use(frame, *batch.channels);
    }
  });
}

// Writes text to the output: standard output, or a file written safely.
template <typename Produce>
void WriteOutput(const std::string& output, Context& context, Produce produce) {
  if (output == "-") {
    produce([&](std::string_view piece) {
      context.out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
    });
    context.out.flush();
    return;
  }
  formats::WriteFileSafely(output, [&](const formats::TextSink& sink) { produce(sink); });
}

uint32_t Key(uint32_t id, bool extended) { return id | (extended ? 0x80000000u : 0u); }

// The database's messages by identifier, with their codecs.
struct Decoder {
  explicit Decoder(const std::string& path) : database(formats::ReadDbcFile(path)) {
    codecs.reserve(database.Messages.size());
    for (size_t k = 0; k < database.Messages.size(); ++k) {
      const Message& message = database.Messages[k];
      codecs.emplace_back(message);
      by_key.try_emplace(Key(message.Id, message.Extended), k);
    }
  }
  const Message* Find(const Frame& frame, size_t* index = nullptr) const {
    if (frame.Has(kError) || frame.Has(kRemote)) return nullptr;
    const auto found = by_key.find(Key(frame.Id, frame.Extended));
    if (found == by_key.end()) return nullptr;
    if (index != nullptr) *index = found->second;
    return &database.Messages[found->second];
  }
  SignalDatabase database;
  std::vector<MessageCodec> codecs;
  std::unordered_map<uint32_t, size_t> by_key;
};

// The message and signal positions of "MESSAGE.SIGNAL", or a refusal naming it.
std::pair<size_t, size_t> SignalAt(const Decoder& decoder, const std::string& wanted) {
  const size_t dot = wanted.find('.');
  const Message* message =
      dot == std::string::npos ? nullptr : decoder.database.MessageNamed(wanted.substr(0, dot));
  const Signal* signal =
      message != nullptr ? message->SignalNamed(wanted.substr(dot + 1)) : nullptr;
  if (signal == nullptr) {
    throw CLI::ValidationError("--signal: the database has no signal " + wanted +
                               " (give MESSAGE.SIGNAL)");
  }
  return {static_cast<size_t>(message - decoder.database.Messages.data()),
          static_cast<size_t>(signal - message->Signals.data())};
}

std::string IdText(uint32_t id, bool extended) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (int k = extended ? 7 : 2; k >= 0; --k) text += kHex[(id >> (4 * k)) & 15];
  return extended ? text + "x" : text;
}

std::string Padded(std::string text, size_t width) {
  return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

int Stats(const TraceOptions& options, Context& context) {
  std::optional<Decoder> decoder;
  if (!options.dbc.empty()) decoder.emplace(options.dbc);
  struct Seen {
    uint64_t count = 0;
    int64_t first = 0;
    int64_t last = 0;
    double mean = 0;  // of the periods, in seconds (Welford)
    double spread = 0;
    uint64_t lengths = 0;  // bit k: a frame of length k seen (k < 64), bit 63 for 64
  };
  std::map<std::tuple<uint16_t, bool, uint32_t>, Seen> seen;
  std::vector<std::string> channels;
  uint64_t frames = 0;
  ForEachFrame(options, context, [&](const Frame& frame, const std::vector<std::string>& names) {
    ++frames;
    Seen& s = seen[{frame.Channel, frame.Extended, frame.Has(kError) ? 0xFFFFFFFFu : frame.Id}];
    if (s.count > 0) {
      const double period = static_cast<double>(frame.Time - s.last) / 1e9;
      const double delta = period - s.mean;
      s.mean += delta / static_cast<double>(s.count);
      s.spread += delta * (period - s.mean);
    } else {
      s.first = frame.Time;
    }
    ++s.count;
    s.last = frame.Time;
    s.lengths |= uint64_t{1} << std::min<int>(frame.Length, 63);
    if (channels.size() != names.size()) channels = names;
  });
  context.out << Padded("channel", 8) << Padded("id", 12) << Padded("message", 20)
              << Padded("count", 10) << Padded("period ms", 11) << Padded("jitter ms", 11)
              << Padded("lengths", 12) << Padded("first", 19) << "last\n";
  for (const auto& [key, s] : seen) {
    const auto& [channel, extended, id] = key;
    const Message* message = nullptr;
    if (decoder && id != 0xFFFFFFFFu) {
      Frame probe;
      probe.Id = id;
      probe.Extended = extended;
      message = decoder->Find(probe);
    }
    std::string lengths;
    for (int k = 0; k < 64; ++k) {
      if ((s.lengths >> k & 1) != 0)
        lengths += (lengths.empty() ? "" : ",") + std::to_string(k == 63 ? 64 : k);
    }
    const bool periodic = s.count > 1;
    // The sample standard deviation of the periods (0 for a single period).
    const uint64_t periods = s.count - 1;
    const double jitter = periods > 1 ? std::sqrt(s.spread / static_cast<double>(periods - 1)) : 0;
    context.out << Padded(channel < channels.size() ? channels[channel] : "", 8)
                << Padded(id == 0xFFFFFFFFu ? "error" : IdText(id, extended), 12)
                << Padded(message != nullptr ? message->Name : "", 20)
                << Padded(std::to_string(s.count), 10)
                << Padded(periodic ? Number(std::round(s.mean * 1e6) / 1e3) : "-", 11)
                << Padded(periodic ? Number(std::round(jitter * 1e6) / 1e3) : "-", 11)
                << Padded(lengths, 12) << Padded(SecondsText(s.first), 19) << SecondsText(s.last)
                << "\n";
  }
  context.out << frames << " frames, " << seen.size() << " identifiers\n";
  return 0;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

// Decoded frames as rows of CSV or JSON Lines: immutable once made, so that
// the reading thread and the program's own may both write rows.
class RowWriter {
 public:
  RowWriter(const Decoder& decoder, const Filter& filter, bool json,
            const std::vector<std::string>& signals)
      : decoder_(decoder), filter_(filter), json_(json), chosen_(decoder.database.Messages.size()) {
    const auto choose = [&](size_t m, size_t s) {
      const Message& message = decoder.database.Messages[m];
      const Signal& signal = message.Signals[s];
      chosen_[m].emplace_back(s, headers_.size());
      headers_.push_back(message.Name + "." + signal.Name +
                         (signal.Unit.empty() ? "" : " [" + signal.Unit + "]"));
    };
    if (signals.empty()) {
      for (size_t m = 0; m < chosen_.size(); ++m) {
        for (size_t s = 0; s < decoder.database.Messages[m].Signals.size(); ++s) choose(m, s);
      }
    }
    for (const std::string& wanted : signals) {
      const auto [message, signal] = SignalAt(decoder, wanted);
      choose(message, signal);
    }
    // Each message's chosen signals in column order.
    for (auto& columns : chosen_) {
      std::sort(columns.begin(), columns.end(),
                [](const auto& a, const auto& b) { return a.second < b.second; });
    }
    for (const Message& message : decoder.database.Messages) {
      most_signals_ = std::max(most_signals_, message.Signals.size());
    }
    physical_.resize(chosen_.size());
    json_names_.resize(chosen_.size());
    row_room_.resize(chosen_.size());
    for (size_t m = 0; m < chosen_.size(); ++m) {
      // The time, the JSON around it, a comma for every column and the
      // eight Commas may store at the end.
      size_t room = kSecondsTextMost + 16 + headers_.size() + 8;
      for (const Signal& signal : decoder.database.Messages[m].Signals) {
        physical_[m].emplace_back(signal);
        json_names_[m].push_back(JsonString(signal.Name));
        size_t longest = PhysicalText::kMost;
        for (const auto& [value, text] : signal.Values) {
          const std::string& written =
              texts_.try_emplace(&text, json ? JsonString(text) : CsvField(text)).first->second;
          longest = std::max(longest, written.size());
        }
        room += json_names_[m].back().size() + 4 + longest;
      }
      row_room_[m] = room;
    }
  }

  // The CSV header line; nothing for JSON Lines.
  std::string Header() const {
    if (json_) return {};
    std::string text = "t,channel,id,message";
    for (const std::string& header : headers_) text += "," + CsvField(header);
    return text + "\n";
  }

  // The rows of the batch's frames that the filter takes, into batch.text.
  void Write(FrameBatch& batch) const {
    TextBuilder out(batch.text);
    // Room for the most signals a message has, made once.
    std::vector<DecodedSignal> decoded(most_signals_);
    std::vector<const DecodedSignal*> by_signal;
    // What starts each row, by message and channel, made once a batch.
    std::vector<std::vector<std::string>> prefixes(chosen_.size());
    for (const Frame& frame : batch.frames) {
      if (!filter_.Takes(frame, *batch.channels)) continue;
      size_t index = 0;
      const Message* message = decoder_.Find(frame, &index);
      if (message == nullptr || chosen_[index].empty()) continue;
      const size_t count =
          decoder_.codecs[index].Decode(frame.Bytes(), std::span<DecodedSignal>(decoded));
      by_signal.assign(message->Signals.size(), nullptr);
      for (const DecodedSignal& s : std::span(decoded).first(count)) {
        by_signal[static_cast<size_t>(s.Definition - message->Signals.data())] = &s;
      }
      auto& made = prefixes[index];
      if (made.size() <= frame.Channel) made.resize(frame.Channel + size_t{1});
      if (made[frame.Channel].empty()) {
        const std::vector<std::string>& channels = *batch.channels;
        made[frame.Channel] =
            Prefix(*message, frame.Channel < channels.size() ? channels[frame.Channel] : "");
      }
      const std::string& prefix = made[frame.Channel];
      char* p = out.Room(row_room_[index] + prefix.size());
      if (json_) p = Put(p, "{\"t\": ");
      p = WriteSeconds(p, frame.Time);
      p = Put(p, prefix);
      if (json_) {
        bool any = false;
        for (const auto& [signal, column] : chosen_[index]) {
          const DecodedSignal* s = by_signal[signal];
          if (s == nullptr) continue;
          if (any) p = Put(p, ", ");
          p = Put(p, json_names_[index][signal]);
          p = Put(p, ": ");
          p = PutValue(p, *s, physical_[index][signal]);
          any = true;
        }
        p = Put(p, "}}\n");
      } else {
        // Only this message's columns hold values; the others stay empty.
        size_t at = 0;
        for (const auto& [signal, column] : chosen_[index]) {
          p = Commas(p, column - at + 1);
          at = column + 1;
          if (by_signal[signal] != nullptr) {
            p = PutValue(p, *by_signal[signal], physical_[index][signal]);
          }
        }
        p = Commas(p, headers_.size() - at);
        *p++ = '\n';
      }
      out.Done(p);
    }
    out.Finish();
  }

 private:
  // Text written straight into a string's own storage: room for a whole row
  // is made at once, so that writing is copying.
  class TextBuilder {
   public:
    explicit TextBuilder(std::string& text) : text_(text) { text_.resize(text_.capacity()); }
    char* Room(size_t bytes) {
      if (text_.size() < used_ + bytes) text_.resize(std::max(2 * text_.size(), used_ + bytes));
      return text_.data() + used_;
    }
    void Done(const char* end) { used_ = static_cast<size_t>(end - text_.data()); }
    void Finish() { text_.resize(used_); }

   private:
    std::string& text_;
    size_t used_ = 0;
  };

  static char* Put(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
  }
  // A row's commas come one or two at a time between values: eight are
  // stored at once (the row's room has them to spare), a call only for more.
  static char* Commas(char* out, size_t count) {
    if (count <= 8) {
      std::memcpy(out, ",,,,,,,,", 8);
    } else {
      std::memset(out, ',', count);
    }
    return out + count;
  }

  // A value description as text, a physical value as its exact decimals.
  char* PutValue(char* out, const DecodedSignal& s, const PhysicalText& writer) const {
    if (s.Text != nullptr) return Put(out, texts_.at(s.Text));
    if (std::isfinite(s.Value)) return writer.Write(out, s);
    return Put(out, json_ ? "null" : Number(s.Value));
  }

  std::string Prefix(const Message& message, const std::string& channel) const {
    return json_ ? ", \"channel\": " + JsonString(channel) +
                       ", \"id\": " + std::to_string(message.FileId()) +
                       ", \"message\": " + JsonString(message.Name) + ", \"signals\": {"
                 : "," + CsvField(channel) + "," + std::to_string(message.FileId()) + "," +
                       CsvField(message.Name);
  }

  const Decoder& decoder_;
  const Filter& filter_;
  const bool json_;
  // Each message's chosen signals and their columns.
  std::vector<std::vector<std::pair<size_t, size_t>>> chosen_;
  std::vector<std::string> headers_;
  // Each signal's physical values as exact decimals, prepared once.
  std::vector<std::vector<PhysicalText>> physical_;
  // Each signal's name as a JSON string, and each value description as
  // the output writes it.
  std::vector<std::vector<std::string>> json_names_;
  std::unordered_map<const std::string*, std::string> texts_;
  // The most a row of each message takes, but for its prefix.
  std::vector<size_t> row_room_;
  size_t most_signals_ = 0;  // in any one message
};

int DecodeTrace(const TraceOptions& options, Context& context) {
  const Decoder decoder(options.dbc);
  std::string format = options.out_format;
  if (format.empty()) {
    format =
        options.output.ends_with(".jsonl") || options.output.ends_with(".json") ? "jsonl" : "csv";
  }
  if (format != "csv" && format != "jsonl") {
    throw CLI::ValidationError("--out-format: '" + format + "' is not csv or jsonl");
  }
  const Filter filter(options);
  const RowWriter rows(decoder, filter, format == "jsonl", options.signals);
  WriteOutput(options.output, context, [&](const formats::TextSink& sink) {
    sink(rows.Header());
    ReadBatches(
        options, context, [&](FrameBatch& batch) { rows.Write(batch); },
        [&](const FrameBatch& batch) { sink(batch.text); });
  });
  return 0;
}

int Convert(const TraceOptions& options, Context& context) {
  auto format = FormatNamed(options.out_format, "--out-format");
  if (!format) format = FormatOfName(options.output);
  if (!format || *format == TraceFormat::Blf || *format == TraceFormat::Trc) {
    throw CLI::ValidationError(
        "-o: name the output .log or .asc, or give --out-format candump or asc");
  }
  WriteOutput(options.output, context, [&](const formats::TextSink& sink) {
    const auto writer = MakeTraceWriter(*format, sink);
    ForEachFrame(options, context,
                 [&](const Frame& frame, const std::vector<std::string>& channels) {
                   writer->Write(frame, channels);
                 });
    writer->Finish();
  });
  return 0;
}

int Plot(const TraceOptions& options, size_t width, size_t height, Context& context) {
  if (options.input == "-") {
    throw CLI::ValidationError("LOG: plot reads the trace twice, so it must be a file");
  }
  const Decoder decoder(options.dbc);
  struct Chosen {
    size_t message;
    size_t signal;
  };
  std::vector<Chosen> chosen;
  for (const std::string& wanted : options.signals) {
    const auto [message, signal] = SignalAt(decoder, wanted);
    chosen.push_back({message, signal});
  }
  // First the time the frames span, then their values.
  int64_t first = 0;
  int64_t last = 0;
  bool any = false;
  ForEachFrame(options, context, [&](const Frame& frame, const std::vector<std::string>&) {
    first = any ? std::min(first, frame.Time) : frame.Time;
    last = any ? std::max(last, frame.Time) : frame.Time;
    any = true;
  });
  std::vector<PlotPanel> panels;
  for (const Chosen& c : chosen) {
    const Message& message = decoder.database.Messages[c.message];
    const Signal& signal = message.Signals[c.signal];
    PlotPanel panel{
        message.Name + "." + signal.Name, signal.Unit, {}, ColumnSummary(first, last, width)};
    for (const auto& [raw, text] : signal.Values) {
      panel.names[static_cast<double>(raw) * signal.Factor + signal.Offset] = text;
    }
    panels.push_back(std::move(panel));
  }
  std::vector<DecodedSignal> decoded;
  ForEachFrame(options, context, [&](const Frame& frame, const std::vector<std::string>&) {
    size_t index = 0;
    const Message* message = decoder.Find(frame, &index);
    if (message == nullptr) return;
    bool wanted = false;
    for (const Chosen& c : chosen) wanted = wanted || c.message == index;
    if (!wanted) return;
    decoder.codecs[index].Decode(frame.Bytes(), decoded);
    for (const DecodedSignal& s : decoded) {
      const auto k = static_cast<size_t>(s.Definition - message->Signals.data());
      for (size_t p = 0; p < chosen.size(); ++p) {
        if (chosen[p].message == index && chosen[p].signal == k) {
          panels[p].samples.Add(frame.Time, s.Value);
        }
      }
    }
  });
  const std::string svg = PlotSvg(panels, first, last, width, height);
  WriteOutput(options.output, context, [&](const formats::TextSink& sink) { sink(svg); });
  return 0;
}

void AddCommon(CLI::App* command, TraceOptions& options) {
  command
      ->add_option(
          "LOG", options.input,
          "The trace: a candump log, Vector ASC or BLF, or PEAK TRC; - reads standard input")
      ->required();
  command->add_option("--in-format", options.in_format,
                      "candump, asc, blf or trc, where neither the name nor the first bytes tell");
  command->add_option("--id", options.ids,
                      "Only these identifiers: 0x123, 291, ranges 0x100-0x1FF, lists by commas");
  command->add_option("--channel", options.channels,
                      "Only frames of these channels (can0, 1, ...)");
  command->add_option("--from", options.from, "Only frames at or after this time, in seconds");
  command->add_option("--to", options.to, "Only frames at or before this time, in seconds");
  command->add_flag("--strict", options.strict,
                    "Refuse the trace at its first unreadable line instead of skipping it");
}

}  // namespace

void AddTraceCommands(CLI::App& app, Context& context, std::function<int()>& action) {
  auto* trace =
      app.add_subcommand("trace", "Bus traces: candump logs, Vector ASC and BLF, PEAK TRC");
  trace->require_subcommand(1);
  auto options = std::make_shared<TraceOptions>();

  auto* stats = trace->add_subcommand(
      "stats",
      "Per channel and identifier: count, mean period and jitter, lengths, first and last time");
  AddCommon(stats, *options);
  stats->add_option("--dbc", options->dbc, "A DBC file, to name the messages");
  stats->callback([&context, &action, options] {
    action = [&context, options] { return Stats(*options, context); };
  });

  auto* decode =
      trace->add_subcommand("decode",
                            "Each frame's signals as physical values, the exact decimals of raw × "
                            "factor + offset (value names as text), as CSV or JSON Lines");
  AddCommon(decode, *options);
  decode->add_option("--dbc", options->dbc, "The DBC file")->required();
  decode->add_option("--signal", options->signals,
                     "Only these signals, as MESSAGE.SIGNAL (every signal when left out)");
  decode->add_option("-o,--output", options->output,
                     "Where to write: OUT.csv or OUT.jsonl, written safely; - standard output");
  decode->add_option("--out-format", options->out_format, "csv or jsonl, where -o does not tell");
  decode->callback([&context, &action, options] {
    action = [&context, options] { return DecodeTrace(*options, context); };
  });

  auto* plot = trace->add_subcommand(
      "plot", "Signals against time as SVG, one panel each, every pixel column exact");
  AddCommon(plot, *options);
  plot->add_option("--dbc", options->dbc, "The DBC file")->required();
  plot->add_option("--signal", options->signals, "The signals to draw, as MESSAGE.SIGNAL")
      ->required();
  plot->add_option("-o,--output", options->output, "OUT.svg, written safely; - standard output")
      ->required();
  auto width = std::make_shared<size_t>(1000);
  auto height = std::make_shared<size_t>(160);
  plot->add_option("--width", *width, "Pixel columns of each panel's plot (default 1000)")
      ->check(CLI::Range(size_t{10}, size_t{20000}));
  plot->add_option("--height", *height, "Pixels of each panel's plot (default 160)")
      ->check(CLI::Range(size_t{20}, size_t{4000}));
  plot->callback([&context, &action, options, width, height] {
    action = [&context, options, width, height] {
      return Plot(*options, *width, *height, context);
    };
  });

  auto* convert = trace->add_subcommand("convert", "A trace written again as a candump log or ASC");
  AddCommon(convert, *options);
  convert
      ->add_option("-o,--output", options->output,
                   "OUT.log or OUT.asc, written safely; - standard output")
      ->required();
  convert->add_option("--out-format", options->out_format,
                      "candump or asc, where -o does not tell");
  convert->callback([&context, &action, options] {
    action = [&context, options] { return Convert(*options, context); };
  });
}

}  // namespace ombrix::cli
