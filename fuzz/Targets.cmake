# The fuzz targets: each compiles its own harness and only the project's files it exercises, and
# links only the libraries those need. The caller defines tb_fuzz_target(name SOURCES... LIBS...),
# to build them for libFuzzer (fuzz/) or as replays of their corpora (tests/fuzzcorpus/).
set(TB_FUZZ_DIR ${CMAKE_SOURCE_DIR}/fuzz)
set(TB_SRC ${CMAKE_SOURCE_DIR})

macro(tb_fuzz_targets)
  tb_fuzz_target(fuzz_settings_file
    SOURCES ${TB_FUZZ_DIR}/fuzz_settings_file.cpp
            ${TB_SRC}/platform/RegExportFormat.cpp ${TB_SRC}/platform/RegExportFormatData.cpp
            ${TB_SRC}/platform/RegExportFormatModel.cpp ${TB_SRC}/platform/RegValue.cpp
            ${TB_SRC}/platform/SettingsFile.cpp
    LIBS Qt6::Core)
  # The lookups live in the translation manager, which also sets captions on widgets.
  tb_fuzz_target(fuzz_language_file
    SOURCES ${TB_FUZZ_DIR}/fuzz_language_file.cpp
            ${TB_SRC}/language/LanguageFile.cpp ${TB_SRC}/language/TranslationManager.cpp
            ${TB_SRC}/language/ComponentOwner.cpp ${TB_SRC}/common/ProgramFiles.cpp
    LIBS Qt6::Widgets)
  tb_fuzz_target(fuzz_rich_text
    SOURCES ${TB_FUZZ_DIR}/fuzz_rich_text.cpp ${TB_SRC}/ui/RichTextReader.cpp
            ${TB_SRC}/platform/linux/CodePages.cpp
    LIBS Qt6::Gui)
  tb_fuzz_target(fuzz_command_line
    SOURCES ${TB_FUZZ_DIR}/fuzz_command_line.cpp ${TB_SRC}/app/CommandLine.cpp
            ${TB_SRC}/cli/CliOptions.cpp ${TB_SRC}/cli/CliUsage.cpp
    LIBS Qt6::Core)
  tb_fuzz_target(fuzz_gateway
    SOURCES ${TB_FUZZ_DIR}/fuzz_gateway.cpp ${TB_FUZZ_DIR}/ScriptedGateway.cpp ${TB_FUZZ_DIR}/ScriptedGateway.h
            ${TB_SRC}/tests/support/SimDevice.cpp ${TB_SRC}/tests/support/SimDevice.h
            ${TB_SRC}/tests/support/VirtualClock.cpp ${TB_SRC}/tests/support/VirtualClock.h
    LIBS tamberlin_gateway tamberlin_simcore)
  tb_fuzz_target(fuzz_simulator
    SOURCES ${TB_FUZZ_DIR}/fuzz_simulator.cpp
    LIBS tamberlin_simcore)
endmacro()
