# Front door: `make demo`, `make test`. Everything else is CMake + Ninja.
BUILD_DIR := build
HOST_DIR := $(BUILD_DIR)/host
PRESET := mingw

# The tests and the demo give every tool a home in the build tree: desktop
# tools, rpm's database and spelling dictionaries write there, not into the
# user's. scripts/home-check.sh compares a listing of the real one.
RUN_HOME := $(abspath $(BUILD_DIR))/home
RUN_ENV := HOME=$(RUN_HOME) XDG_CONFIG_HOME=$(RUN_HOME)/.config XDG_DATA_HOME=$(RUN_HOME)/.local/share \
           XDG_STATE_HOME=$(RUN_HOME)/.local/state XDG_CACHE_HOME=$(RUN_HOME)/.cache
HOME_LIST := $(BUILD_DIR)/home-before.txt

.PHONY: all build deps configure test demo bench fuzz dist clean

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
	./scripts/home-check.sh "$(HOME)" $(HOME_LIST)
	mkdir -p $(RUN_HOME)
	$(RUN_ENV) ctest --test-dir $(BUILD_DIR) --output-on-failure
	$(RUN_ENV) ctest --test-dir $(HOST_DIR) --output-on-failure
	$(RUN_ENV) ./scripts/gui-tests.sh $(BUILD_DIR)
	./scripts/home-check.sh "$(HOME)" $(HOME_LIST) --compare

demo: build
	./scripts/home-check.sh "$(HOME)" $(HOME_LIST)
	mkdir -p $(RUN_HOME)
	$(RUN_ENV) ./scripts/demo.sh $(BUILD_DIR)
	./scripts/home-check.sh "$(HOME)" $(HOME_LIST) --compare

# The readers and parsers under libFuzzer and the sanitizers, FUZZ_SECONDS
# each (not part of make test, which replays their seed corpora once).
fuzz:
	@./scripts/install-deps.sh fuzz
	cmake --preset fuzz
	cmake --build $(BUILD_DIR)/fuzz
	./scripts/fuzz.sh $(BUILD_DIR)/fuzz $(or $(FUZZ_SECONDS),60)

dist: build
	./scripts/dist.sh $(BUILD_DIR)

bench: build
	./scripts/wine-run.sh $(abspath $(BUILD_DIR))/wineprefix $(BUILD_DIR)/bin/loftwick-startup-bench.exe \
	    $(or $(RUNS),30) "Z:$(subst /,\\,$(abspath $(BUILD_DIR))/bench)"
	/usr/bin/python3 bench/installer_bench.py $(BUILD_DIR) $(HOST_DIR)/bin/loftwick-pack
	/usr/bin/python3 bench/linux_bench.py $(HOST_DIR) $(or $(RUNS),30)
	/usr/bin/python3 bench/package_bench.py $(HOST_DIR)/bin/loftwick-pack $(HOST_DIR)/bench-packages
	/usr/bin/python3 bench/hostile_bench.py $(HOST_DIR)
	/usr/bin/python3 bench/signing_bench.py $(BUILD_DIR) $(HOST_DIR)/bin/loftwick-pack

clean:
	rm -rf $(BUILD_DIR)
