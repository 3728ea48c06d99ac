# The two commands of the README: `make run` and `make test`. Each installs
# what is missing first, so they are the whole setup on a fresh machine.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= 2

.PHONY: deps build run test test-asan bench clean

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/morsello

$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DMORSELLO_BACKEND=none -DMORSELLO_SANITIZE=ON

# The core and the simulated platform under AddressSanitizer and UBSan.
test-asan: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

test: build test-asan test-windows
	ctest --test-dir $(BUILD) --output-on-failure

bench: build
	bench/keying

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WIN_BUILD)

# morsello.exe for Windows, cross-built with mingw-w64, and its end-to-end
# tests under Wine.
WIN_BUILD ?= build-windows

.PHONY: windows test-windows

$(WIN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(WIN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORSELLO_BACKEND=windows \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake

windows: deps $(WIN_BUILD)/CMakeCache.txt
	cmake --build $(WIN_BUILD) -j $(JOBS)

test-windows: windows
	ctest --test-dir $(WIN_BUILD) --output-on-failure -L windows
