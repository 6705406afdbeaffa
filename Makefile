# The two commands of the README, and the ones developers use on the way.
#   make run    builds what it needs and opens the window on the demo archive
#               (under Xvfb with a screenshot when there is no display)
#   make test   checks the layout of the code, builds and runs every test:
#               native, sanitizers, fuzzing, both Windows builds under Wine,
#               the release packages
#   make dist   the release packages in dist/
.PHONY: run test dist deps native native-asan win32 win64 test-native test-asan test-fuzz \
        test-win32 test-win64 test-dist test-format bench win32-bench fuzz clean

FUZZ_SECONDS ?= 10

# Windows that the tests open need an X display; Xvfb stands in for one.
with-display = if [ -n "$$DISPLAY" ]; then $(1); else xvfb-run -a -s "-screen 0 1280x1024x24" $(1); fi

# 32-bit Windows programs run where the kernel runs 32-bit programs, and
# 64-bit ones everywhere; tools/wine32-probe.sh tells by trying.
run: native
	build/native/cli/kowaki-cli list build/native/demo/voice.arc
	build/native/cli/kowaki-cli export build/native/demo/voice.arc --type wav --to build/native/demo/wav
	$(MAKE) --no-print-directory $$(tools/wine32-probe.sh >/dev/null && echo win32 || echo win64)
	tools/run-window.sh build

test: test-format test-native test-asan test-fuzz test-win64 test-win32 test-dist
	@why=$$(tools/wine32-probe.sh) || \
	  echo "The 32-bit Windows tests were not run ($$why); the 32-bit build was compiled and its programs checked."

deps:
	tools/install-deps.sh windows

native: deps
	cmake --preset native >/dev/null
	cmake --build --preset native

native-asan: deps
	cmake --preset native-asan >/dev/null
	cmake --build --preset native-asan

win32: deps
	tools/build-windows-deps.sh i686-w64-mingw32 build/win32-deps/prefix
	cmake --preset win32 >/dev/null
	cmake --build --preset win32

win64: deps
	tools/build-windows-deps.sh x86_64-w64-mingw32 build/win64-deps/prefix
	cmake --preset win64 >/dev/null
	cmake --build --preset win64

test-format: deps
	tools/check-format.sh

test-native: native
	ctest --preset native

test-asan: native-asan
	ctest --preset native-asan

test-fuzz: deps
	fuzz/run.sh $(FUZZ_SECONDS)

test-win64: win64
	$(call with-display,ctest --preset win64)

# Where 32-bit Wine cannot start, only the tests that need no Wine run.
test-win32: win32
	if tools/wine32-probe.sh >/dev/null; then $(call with-display,ctest --preset win32); \
	else ctest --preset win32 -LE wine; fi

dist: native win32 win64
	tools/make-dist.sh build dist

test-dist: dist
	tools/check-dist.sh build dist

# The conversion benchmark runs as the 32-bit program too (its SSE2 loops
# alone), where 32-bit programs run.
bench: native
	@if why=$$(tools/wine32-probe.sh); then \
	  $(MAKE) --no-print-directory win32-bench && bench/run.sh build/native build/win32-bench; \
	else \
	  bench/run.sh build/native; \
	  echo "The 32-bit conversion benchmark was not run ($$why)."; \
	fi

win32-bench: deps
	tools/build-windows-deps.sh i686-w64-mingw32 build/win32-deps/prefix benchmark
	cmake --preset win32-bench >/dev/null
	cmake --build --preset win32-bench

fuzz: deps
	fuzz/run.sh 600

clean:
	rm -rf build dist
