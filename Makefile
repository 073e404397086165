# Front door: `make demo`, `make test`. Everything else is CMake + Ninja.
BUILD_DIR := build
HOST_DIR := $(BUILD_DIR)/host
PRESET := mingw

.PHONY: all build deps configure test demo bench dist clean

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD_DIR)/build.ninja: | deps
	cmake --preset $(PRESET)

# The build machine's own loftwick-pack stamps the launchers built above.
$(HOST_DIR)/build.ninja: | deps
	cmake --preset host

configure: deps $(BUILD_DIR)/build.ninja $(HOST_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR)
	cmake --build $(HOST_DIR)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure
	ctest --test-dir $(HOST_DIR) --output-on-failure
	./scripts/gui-tests.sh $(BUILD_DIR)

demo: build
	./scripts/demo.sh $(BUILD_DIR)

dist: build
	./scripts/dist.sh $(BUILD_DIR)

bench: build
	./scripts/wine-run.sh $(abspath $(BUILD_DIR))/wineprefix $(BUILD_DIR)/bin/loftwick-startup-bench.exe \
	    $(or $(RUNS),30) "Z:$(subst /,\\,$(abspath $(BUILD_DIR))/bench)"
	/usr/bin/python3 bench/installer_bench.py $(BUILD_DIR) $(HOST_DIR)/bin/loftwick-pack
	/usr/bin/python3 bench/linux_bench.py $(HOST_DIR) $(or $(RUNS),30)
	/usr/bin/python3 bench/package_bench.py $(HOST_DIR)/bin/loftwick-pack $(HOST_DIR)/bench-packages

clean:
	rm -rf $(BUILD_DIR)
