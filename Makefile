# Quick start: `make demo` runs the program; `make test` builds and runs every test.
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
WINDOWS_BUILD ?= build-windows
FUZZ_SECONDS ?= 60
FUZZ_CI_SECONDS ?= 20
JOBS ?= $(shell nproc)
export QT_QPA_PLATFORMTHEME :=

.PHONY: deps build build-asan build-fuzz demo test test-fast test-asan test-usb fuzz fuzz-ci screenshots package format clean \
        windows-toolchain windows windows-package test-windows

deps:
	@tools/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAMBERLIN_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# The libFuzzer targets (clang, ASan + UBSan), and only what they link.
build-fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAMBERLIN_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets

demo: build
	tools/demo.sh $(BUILD)

# Every test, in the normal build and in the sanitizer build, every fuzz target briefly, and the
# Debian package against a real kernel's USB serial driver.
test: test-fast test-asan fuzz-ci test-usb

test-fast: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: build-asan
	QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# Each fuzz target for FUZZ_SECONDS (make fuzz FUZZ_SECONDS=600); fails on a finding.
fuzz: build-fuzz
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(JOBS)

fuzz-ci: build-fuzz
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_CI_SECONDS) $(JOBS)

# The package in a Linux guest under QEMU (software emulation, no KVM needed) with an emulated FTDI
# adapter: the kernel and udev come as Debian packages, cached beside the Windows toolchain.
test-usb: package
	python3 tests/usb/test_usb_adapter.py $(BUILD)

screenshots: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/tamberlin-screenshots $(BUILD)/screenshots

# The Debian package (tamberlin_<version>_<arch>.deb) in $(BUILD)/, from the normal build.
package: build
	cd $(BUILD) && cpack -G DEB

# Windows: the static Windows Qt once per machine (cached outside the checkout), then tamberlin.exe
# and tamberlin-cli.exe in $(WINDOWS_BUILD)/. The tests run under Wine; korvane-sim of the Linux
# build plays the gateway.
windows-toolchain:
	@tools/windows/install-deps.sh
	@tools/windows/build-qt.sh

windows: windows-toolchain
	tools/windows/configure.sh $(WINDOWS_BUILD) $(CURDIR)/$(BUILD)
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# The setup program and the portable zip: $(WINDOWS_BUILD)/tamberlin-<version>-setup.exe and -windows-x64.zip.
windows-package: windows
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target windows_package

# A Wine test that fails is run once more (its first output stays in the log): Wine's own processes
# occasionally fail under load, and a second run tells that from a fault of the program.
test-windows: build windows windows-package
	ctest --test-dir $(WINDOWS_BUILD) --output-on-failure -j $(JOBS) --repeat until-pass:2

format:
	find app common platform ui serialport gateway cli language sim tools tests bench fuzz \
	  -name '*.cpp' -o -name '*.h' 2>/dev/null | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(WINDOWS_BUILD)
