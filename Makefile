# QERNCamControl: `make test` builds everything and runs every test; `make demo` runs the live view
# against the camera simulator. Both install what they need first (Debian packages only).
BUILD ?= build
JOBS ?= 2
FUZZ_SECONDS ?= 60
DEMO_SECONDS ?= 20

# make demo CAMERA=http://host/video.cgi CAMERA_USER=... CAMERA_PASSWORD=... points the demo at a real camera.
export CAMERA CAMERA_USER CAMERA_PASSWORD

ROOT := $(abspath .)
B := $(abspath $(BUILD))
CMAKE_GEN := -G Ninja

.PHONY: all setup native win32 fuzz bench test demo clean

all: native win32

setup:
	@bash tools/setup/install-packages.sh

$(B)/native/build.ninja: | setup
	cmake -S . -B $(B)/native $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DQERN_SANITIZE=ON

$(B)/win32/build.ninja: | setup
	cmake -S . -B $(B)/win32 $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/toolchain-mingw-i686.cmake \
	  -DQERN_NATIVE_BIN_DIR=$(B)/native/bin

$(B)/fuzz/build.ninja: | setup
	cmake -S . -B $(B)/fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQERN_FUZZ=ON

$(B)/bench/build.ninja: | setup
	cmake -S . -B $(B)/bench $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DQERN_BENCH=ON

native: $(B)/native/build.ninja
	ninja -C $(B)/native -j$(JOBS)

win32: $(B)/win32/build.ninja
	ninja -C $(B)/win32 -j$(JOBS)

fuzz: $(B)/fuzz/build.ninja
	ninja -C $(B)/fuzz -j$(JOBS)

bench: $(B)/bench/build.ninja
	ninja -C $(B)/bench -j$(JOBS)

test: native win32 fuzz bench
	@bash tools/test/run-all $(B) $(FUZZ_SECONDS)

demo: native win32
	@bash tools/demo/run-demo $(B) $(DEMO_SECONDS)

clean:
	-bash tools/wine/env-down $(B)/win32
	rm -rf $(B)
