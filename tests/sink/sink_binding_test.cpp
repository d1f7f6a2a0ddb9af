// CCanSink: decoder table, binding to sources, offered signals, stored settings and the decoder
// wrapper around the host's DBC decoder.
#include "host/settings/CResourceList.h"
#include "tests/sink/SinkRig.h"
#include "tests/sink/SinkView.h"

namespace sink_test {
namespace {

using sink_view::DbcDecoder;
using sink_view::DecoderClass;
using sink_view::StoredTimeout;

class SinkBinding : public SinkRig {
 protected:
  static std::vector<std::vector<std::wstring>> Lines(CResourceSea* sea, const CString& name) {
    std::vector<std::vector<std::wstring>> out;
    CResourceList list(sea, name);
    for (list.GotoHead(); list.IsValid(); list.GotoNext())
      out.push_back(list.GetCurrentLine()->GetParts());
    return out;
  }
  static void SetLines(const CString& name, const std::vector<std::vector<std::wstring>>& lines) {
    CResourceList list(CSeaBase::ApplicationSea(), name);
    list.RemoveAll();
    for (const auto& parts : lines) {
      CResourceEntry* line = list.AddLineTail();
      for (std::size_t i = 0; i < parts.size(); ++i)
        line->SetText(parts[i].c_str(), i);
    }
  }
};

TEST_F(SinkBinding, SourcesAndDecodersOfTheChannels) {
  FakeCanSource source(1);
  OtherSource other;
  CCanSink sink;
  EXPECT_FALSE(sink.add_src(&other));
  EXPECT_TRUE(sink.channels().empty());
  EXPECT_TRUE(sink.add_src(&source));
  ASSERT_EQ(sink.channels().size(), 1u);
  EXPECT_EQ(DecoderClass(sink, 1), nullptr);

  auto* decoder = dynamic_cast<CCanDbcDecoder*>(sink.set_decoder(1, RUNTIME_CLASS(CCanDbcDecoder)));
  ASSERT_NE(decoder, nullptr);
  EXPECT_TRUE(static_cast<bool>(decoder->m_valueCallback));
  EXPECT_EQ(decoder->host_decoder()->GetName(), CString(L"CCanDbcDecoder_1"));
  EXPECT_FALSE(decoder->Create(1));
  EXPECT_EQ(sink.set_decoder(1, RUNTIME_CLASS(CCanDbcDecoder)), decoder);
  EXPECT_EQ(sink.set_decoder(-1, RUNTIME_CLASS(CCanDbcDecoder)), nullptr);
  // A class that makes no decoder leaves the channel without one (and what it made is freed).
  EXPECT_EQ(sink.set_decoder(1, RUNTIME_CLASS(CCanSink)), nullptr);
  EXPECT_EQ(DecoderClass(sink, 1), nullptr);
  ASSERT_NE(sink.set_decoder(1, RUNTIME_CLASS(CCanDbcDecoder)), nullptr);

  // Binding the channel again leaves it without decoder until the settings choose one.
  FakeCanSource again(1);
  EXPECT_TRUE(sink.add_src(&again));
  EXPECT_EQ(DecoderClass(sink, 1), nullptr);
  EXPECT_EQ(sink.set_decoder(0, RUNTIME_CLASS(CCanDbcDecoder))->GetRuntimeClass(),
            RUNTIME_CLASS(CCanDbcDecoder));
  EXPECT_EQ(DbcDecoder(sink, 0)->host_decoder()->GetName(), CString(L"DBC Decoder"));
}

TEST_F(SinkBinding, OfferedSignalsFollowTheDecoderByName) {
  FakeCanSource source(0);
  auto sink = MakeSink(source, 0);
  CCanDecoder* decoder = DbcDecoder(*sink, 0);
  decoder->m_signalNames = {{3, L"A"}, {7, L"B"}};
  auto& offered = const_cast<SinkSourceEntry*>(sink->source_entry(source.id()))->signals;
  offered = {{L"B", 5}, {L"C", 9}};
  sink->sync_signals();
  ASSERT_EQ(offered.size(), 2u);
  EXPECT_EQ(offered[0].m_name, CString(L"B"));
  EXPECT_EQ(offered[0].m_number, 7);
  EXPECT_EQ(offered[1].m_name, CString(L"A"));
  EXPECT_EQ(offered[1].m_number, 3);
  // The host takes the change up: the states follow the offered signals.
  sink->update_container();
  const auto& states = sink->source_entry(source.id())->states;
  EXPECT_EQ(states.size(), 2u);
  EXPECT_TRUE(states.contains(3) && states.contains(7));
}

TEST_F(SinkBinding, SettingsAreWrittenAndReadBack) {
  FakeCanSource source0(0);
  FakeCanSource source2(2);
  {
    auto sink = MakeSink(source0, 0);
    sink->add_src(&source2);
    sink_view::SinkWindows::Of(*sink)->set_timeout(5);
    sink->apply_settings();
    EXPECT_EQ(Lines(CSeaBase::ApplicationSea(), L"CCanSink-Busses"),
              (std::vector<std::vector<std::wstring>>{{L"0", L"CCanDbcDecoder"}, {L"2", L"-"}}));
    EXPECT_EQ(CSeaBase::ApplicationSea()->FindEntry(L"CanSink-Params")->GetParts(),
              std::vector<std::wstring>{L"5"});
    // store_decoder_file twice keeps one line per channel.
    const auto files = Lines(CSeaBase::MessagesSea(), L"CanDecoders-XMLFiles");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0], (std::vector<std::wstring>{L"0", L"engine.dbc"}));
  }
  // The display name is accepted; a line without class and "-" create nothing. Sources bound
  // first keep the decoders the settings choose, and the decoder remembers its file.
  SetLines(L"CCanSink-Busses", {{L"0", L"DBC Decoder"}, {L"2"}, {L"3", L"-"}});
  CCanSink sink;
  sink.Create(L"CCanSink", nullptr);
  sink.add_src(&source0);
  sink.add_src(&source2);
  sink.read_params();
  ASSERT_NE(sink_view::SinkWindows::Of(sink), nullptr);
  EXPECT_EQ(sink_view::SinkWindows::Of(sink)->timeout(), 5u);  // the window's edit copy
  // The time-out in force is what the sink stores again.
  CSeaBase::ApplicationSea()->FindEntry(L"CanSink-Params")->SetInt(0, 0);
  sink.write_params();
  EXPECT_EQ(StoredTimeout(), 5);
  ASSERT_EQ(DecoderClass(sink, 0), RUNTIME_CLASS(CCanDbcDecoder));
  EXPECT_EQ(DecoderClass(sink, 2), nullptr);
  EXPECT_EQ(DecoderClass(sink, 3), std::nullopt);
  CString file;
  EXPECT_TRUE(DbcDecoder(sink, 0)->GetDbcXmlFilename(file));
  EXPECT_EQ(file, CString(L"engine.dbc"));
  EXPECT_EQ(sink.source_entry(source0.id())->signals.size(), 2u);

  // Read before binding, the stored decoder is lost to the binding.
  CCanSink late;
  late.Create(L"CCanSink", nullptr);
  late.read_params();
  EXPECT_TRUE(late.channels().empty());  // no source bound yet
  late.add_src(&source0);
  EXPECT_EQ(DecoderClass(late, 0), nullptr);
}

TEST_F(SinkBinding, ParameterDatabaseFilesGoToDecodersThatExist) {
  testing_support::WriteFile(m_dir / "paramdb.txt",
                             "[ApplicationSignals]\n1 = Engine speed\n[AuxStrings]\n"
                             "CAN_Channel_One_DBC_File = sub/engine.dbc\n"
                             "CAN_Channel_Zero_DBC_File = missing.dbc\n");
  testing_support::WriteFile(m_dir / "sub/engine.dbc", kDbc);
  FakeCanSource source0(0);
  FakeCanSource source1(1);
  CCanSink sink;
  sink.Create(L"CCanSink", nullptr);
  sink.add_src(&source0);
  sink.add_src(&source1);
  sink.set_decoder(0, RUNTIME_CLASS(CCanDbcDecoder));
  sink.set_decoder(1, RUNTIME_CLASS(CCanDbcDecoder));
  sink.set_log_level(1);
  sink.read_params();
  CString file;
  ASSERT_TRUE(DbcDecoder(sink, 1)->GetDbcXmlFilename(file));
  EXPECT_EQ(file, CString((m_dir / "sub/engine.dbc").wstring().c_str()));
  EXPECT_EQ(m_log.count_containing(L"Could not set and open File"), 1u);
  EXPECT_EQ(m_log.count_containing(L"successfully set from Parameter Database"), 1u);
}

}  // namespace
}  // namespace sink_test
