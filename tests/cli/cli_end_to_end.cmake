# kowaki-cli as a user runs it: exit codes, what it prints, what it leaves.
#   cmake -DCLI=kowaki-cli -DWORK=scratch-dir [-DRUNNER=wine-wrapper] -P cli_end_to_end.cmake

# run(CODE ARGS...): kowaki-cli ARGS, expected to exit with CODE; its output
# in `out` and `err`. run_env(ENV CODE ARGS...): the same with the
# variables of the list ENV set ("" for none).
function(run expected_code)
  run_env("" ${expected_code} ${ARGN})
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

function(run_env env expected_code)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${env} ${RUNNER} ${CLI} ${ARGN}
                  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code EQUAL expected_code)
    message(FATAL_ERROR "kowaki-cli ${ARGN}: exit ${code}, expected ${expected_code}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

function(expect_match text pattern)
  if(NOT text MATCHES "${pattern}")
    message(FATAL_ERROR "expected '${pattern}' in:\n${text}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/v_0001.ogg "first clip")
file(WRITE ${WORK}/v_0002.ogg "second")
file(WRITE ${WORK}/ninebytes.ogg "x")

# Files that are no clips go in only with --force.
run(2 pack -o ${WORK}/voice.arc ${WORK}/v_0001.ogg --lang en)
expect_match("${err}" "v_0001.ogg: not Ogg Vorbis \\(--force takes it all the same\\)")
run(0 pack -o ${WORK}/voice.arc --force ${WORK}/v_0001.ogg ${WORK}/v_0002.ogg)
run(0 index ${WORK}/voice.arc --json)
expect_match("${out}" "\"count\": 2, \"entries\": \\[\\{\"entry\": 0, \"name\": \"v_0001\", \"name_hex\": \"765f30303031\", \"size\": 10, \"offset\": 50\\}")
run(0 index ${WORK}/voice.arc)
expect_match("${out}" "    1  v_0002             6          60")

# Unusable input: exit 2, the archive from before untouched, nothing left over.
run(2 pack -o ${WORK}/voice.arc --force ${WORK}/v_0001.ogg ${WORK}/ninebytes.ogg --lang en)
expect_match("${err}" "8 bytes")
run(2 pack -o ${WORK}/voice.arc ${WORK}/missing.ogg)
run(2 pack -o ${WORK}/voice.arc --add x=y ${WORK}/v_0001.ogg --lang en)
expect_match("${err}" "--add, --remove, --all and --quality go with --from DIR")
run(0 index ${WORK}/voice.arc)
file(GLOB left RELATIVE ${WORK} ${WORK}/*)
list(SORT left)
if(NOT left STREQUAL "ninebytes.ogg;v_0001.ogg;v_0002.ogg;voice.arc")
  message(FATAL_ERROR "files left behind: ${left}")
endif()

# Every line a message; the language from the locale or --lang.
run(2 index ${WORK}/missing.arc --lang ja)
expect_match("${err}" "^kowaki-cli: [^\n]*missing.arc を開くことができません\nkowaki-cli: ファイルが存在するか、正しいファイルであるか確認してください\nkowaki-cli: \\(ファイルがありません\\)\n$")
run_env("LANGUAGE=ja_JP.UTF-8:en" 2 index ${WORK}/missing.arc)
expect_match("${err}" "を開くことができません")
run_env("LANGUAGE=ja" 2 index ${WORK}/missing.arc --lang=en)
expect_match("${err}" "^kowaki-cli: cannot open [^\n]*missing.arc\n")
run_env("LANGUAGE=;LC_ALL=;LC_MESSAGES=ja_JP" 2 list -q ${WORK}/v_0001.ogg)
expect_match("${err}" "ヘッダより短いファイルです")
run_env("LANGUAGE=en" 2 list --lang fr)
expect_match("${err}" "^kowaki-cli: --lang takes en or ja, not 'fr'\nkowaki-cli: see 'kowaki-cli --help'\n$")
run(2 list -x --lang en)
expect_match("${err}" "^kowaki-cli: unknown option -x\nkowaki-cli: see 'kowaki-cli list --help'\n$")

# The game's archive when none is given: where the game records it, or
# where that was looked for.
if(CLI MATCHES "[.]exe$")
  run(2 list --wineprefix ${WORK} --lang en)
  expect_match("${err}" "^kowaki-cli: list: --wineprefix: here the game's folder is in the registry\n$")
else()
  set(prefix ${WORK}/home/Games/mizukage)
  file(MAKE_DIRECTORY ${prefix}/drive_c/Mizukage ${prefix}/dosdevices)
  file(CREATE_LINK ../drive_c ${prefix}/dosdevices/c: SYMBOLIC)
  file(COPY_FILE ${WORK}/voice.arc ${prefix}/drive_c/Mizukage/voice.arc)
  run_env("HOME=${WORK}/home;WINEPREFIX=;XDG_DATA_HOME=;XDG_CONFIG_HOME=" 2 list --lang en)
  expect_match("${err}" "^kowaki-cli: list: no archive given, and the game records no install folder; looked in:\nkowaki-cli:   [^\n]*/home/.wine \\(a Wine prefix\\)\n$")
  file(WRITE ${prefix}/user.reg "WINE REGISTRY Version 2\n\n[Software\\\\Kestrel\\\\mizukage] 1\n\"InstallDir\"=\"C:\\\\Mizukage\"\n")
  run(0 list --wineprefix ${prefix} --json)
  expect_match("${out}" "^{\"path\": \"[^\"]*/dosdevices/c:/Mizukage/voice.arc\", \"rows\": \\[\\]}")
  run(2 list ${WORK}/voice.arc --wineprefix ${prefix})
  expect_match("${err}" "give ARCHIVE or --wineprefix DIR, not both")
  file(REMOVE_RECURSE ${WORK}/home)
endif()

# browse needs a terminal; on Windows the window browses instead.
run(2 browse ${WORK}/voice.arc --lang en)
if(RUNNER)
  expect_match("${err}" "^kowaki-cli: on Windows the window \\(kowaki.exe\\) browses the archive\n$")
else()
  expect_match("${err}" "^kowaki-cli: browse runs in a terminal\n$")
endif()

# Help for each command on stdout, with the exit codes; the version.
foreach(command list play export settings index pack unpack replace status convert browse)
  run(0 ${command} --help)
  expect_match("${out}" "^usage: kowaki-cli ${command} .*\n  -q, --quiet .*\n  130  stopped by Ctrl-C")
  run(0 ${command} -h --lang ja)
  run(0 help ${command})
endforeach()
run(0 -V)
expect_match("${out}" "^kowaki-cli [0-9]+\\.[0-9]+")
run(2 index ${WORK}/v_0001.ogg)
run(2 index)
run(2 frobnicate)
run(0 help)
file(REMOVE_RECURSE ${WORK})
