# canhost run: the measurement command. Its parts live in the library canhost_run (so that the
# tests of tests/app can link them); the command itself, CmdRun.cpp, goes into canhost.
#
# The default settings of data/ are compiled in, so that canhost seeds a new settings folder
# wherever it is installed. A change of a seed file reconfigures the build.
set(CANHOST_SEED_FILES Application.sea candriver.conf canhost.dbc obd2.dbc OBDTester.sequencer
                       "decoders/DBC Decoder.txt" "decoders/CCanDbcDecoder_2.txt")
set(CANHOST_SEED_TABLE "")
foreach(seed IN LISTS CANHOST_SEED_FILES)
  file(READ ${PROJECT_SOURCE_DIR}/data/${seed} seed_text)
  string(APPEND CANHOST_SEED_TABLE
         "    {\"${seed}\", R\"canhost_seed(${seed_text})canhost_seed\"},\n")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/${seed})
endforeach()
configure_file(EmbeddedSettings.cpp.in ${CMAKE_CURRENT_BINARY_DIR}/EmbeddedSettings.cpp @ONLY)

add_library(canhost_run STATIC
  CanSourceHost.cpp
  CaptureWriter.cpp
  CsvWriter.cpp
  DecodeCsv.cpp
  FrameLoop.cpp
  NextSteps.cpp
  ProgressBar.cpp
  RegionSizing.cpp
  OutputFile.cpp
  ReplayLog.cpp
  RunOptions.cpp
  RunSummary.cpp
  SettingsLock.cpp
  SettingsSeed.cpp
  StopSignals.cpp
  AtomicOutputFile.cpp
  CanSinkHost.cpp
  SignalRecorder.cpp
  SinkSignalReader.cpp
  SignalMonitor.cpp
  SignalCsvReader.cpp
  ${CMAKE_CURRENT_BINARY_DIR}/EmbeddedSettings.cpp)
target_link_libraries(canhost_run PUBLIC canhost_app_headers canplugin_packet_format host
                                  PRIVATE canhost_warnings)

# RunFiles draws the --plot picture with the Qt view, as canhost plot does.
target_sources(canhost PRIVATE CmdRun.cpp RunFiles.cpp)
target_link_libraries(canhost PRIVATE canhost_run)
