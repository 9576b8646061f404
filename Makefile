# Quick start: `make demo` runs the program; `make test` builds and runs every test.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
export QT_QPA_PLATFORMTHEME :=

.PHONY: deps build build-asan demo test test-fast test-asan screenshots package format clean

deps:
	@tools/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAMBERLIN_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

demo: build
	tools/demo.sh $(BUILD)

# Every test, in the normal build and in the sanitizer build.
test: test-fast test-asan

test-fast: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: build-asan
	QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

screenshots: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/tamberlin-screenshots $(BUILD)/screenshots

# The Debian package (tamberlin_<version>_<arch>.deb) in $(BUILD)/, from the normal build.
package: build
	cd $(BUILD) && cpack -G DEB

format:
	find app common platform windows settings seriallink serialport gateway cli language sim tools tests bench \
	  -name '*.cpp' -o -name '*.h' 2>/dev/null | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
