# The two commands of the README, and the ones developers use on the way.
#   make run    builds everything and opens the window on the demo archive
#               (under Xvfb with a screenshot when there is no display)
#   make test   builds and runs every test: native, sanitizers, fuzzing, Wine
.PHONY: run test deps native native-asan win32 test-native test-asan test-fuzz test-win32 bench fuzz clean

FUZZ_SECONDS ?= 10
WIN32_DEPS := build/win32-deps/prefix

run: native win32
	build/native/cli/kowaki-cli list build/native/demo/voice.arc
	build/native/cli/kowaki-cli export build/native/demo/voice.arc --type wav --to build/native/demo/wav
	tools/run-window.sh build

test: test-native test-asan test-fuzz test-win32

deps:
	tools/install-deps.sh win32

native: deps
	cmake --preset native >/dev/null
	cmake --build --preset native

native-asan: deps
	cmake --preset native-asan >/dev/null
	cmake --build --preset native-asan

win32: deps
	tools/build-win32-deps.sh $(WIN32_DEPS)
	cmake --preset win32 >/dev/null
	cmake --build --preset win32

test-native: native
	ctest --preset native

test-asan: native-asan
	ctest --preset native-asan

test-fuzz: deps
	fuzz/run.sh $(FUZZ_SECONDS)

# Windows that the tests open need an X display; Xvfb stands in for one.
test-win32: win32
	if [ -n "$$DISPLAY" ]; then ctest --preset win32; \
	else xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset win32; fi

bench: native
	bench/run.sh build/native

fuzz: deps
	fuzz/run.sh 600

clean:
	rm -rf build
