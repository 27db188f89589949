# The two commands of the quick start: `make run` and `make test`. Each installs
# what is missing, configures and builds first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps configure build run test deb bench bench-stall fuzz soak soak-audio asan tsan debug format clean screenshots

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

# The Debian package, $(BUILD)/kova_<version>_<arch>.deb.
deb: build
	cd $(BUILD) && cpack -G DEB

bench: build
	@for b in $(BUILD)/bench/*_bench; do [ -x "$$b" ] && "$$b"; done; true

# The UI thread's worst stall in a two-host call and under a third host's
# floods, STALL_SECONDS per phase (root needed).
STALL_SECONDS ?= 5
bench-stall: build
	@bash bench/ui_stall.sh $(BUILD) $(STALL_SECONDS)

# Sanitizer build of every test.
asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKOVA_SANITIZE=ON
	cmake --build build-asan -j $(JOBS)
	cd build-asan && LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp ctest --output-on-failure -j $(JOBS)

# The unit and integration tests under ThreadSanitizer, each test in its own
# process as in `make test` (a private PulseAudio must start before ALSA is
# first touched). A race is reported and the test goes on, then fails; every
# process writes its reports to build-tsan/reports/tsan.<pid>, and the distinct
# ones are summed up at the end.
# die_after_fork=0: the tests start sox and unrtf, and the forked child starts
# a thread before it execs.
TSAN_RUN_OPTIONS = suppressions=$(CURDIR)/tests/tsan.supp halt_on_error=0 second_deadlock_stack=1 die_after_fork=0 log_path=$(CURDIR)/build-tsan/reports/tsan
tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DKOVA_TSAN=ON -DKOVA_BENCH=OFF
	cmake --build build-tsan -j $(JOBS) --target kova_unit_tests kova_integration_tests
	@rm -rf build-tsan/reports && mkdir -p build-tsan/reports
	@cd build-tsan && TSAN_OPTIONS="$(TSAN_RUN_OPTIONS)" ctest -j $(JOBS) --timeout 600 \
	  -R '^(unit|integration)\.' --output-on-failure; rc=$$?; \
	  n=$$(cat reports/tsan.* 2>/dev/null | grep -c '^WARNING: ThreadSanitizer'); \
	  echo "tsan: $$n reports"; \
	  cat reports/tsan.* 2>/dev/null | grep '^SUMMARY: ThreadSanitizer' | sort | uniq -c | sort -rn; \
	  [ $$rc -eq 0 ] && [ $$n -eq 0 ]

# Debug build (Q_ASSERT and the thread checks live) of the unit and
# integration tests, in build-debug.
debug: deps
	cmake -S . -B build-debug -DCMAKE_BUILD_TYPE=Debug -DKOVA_BENCH=OFF
	cmake --build build-debug -j $(JOBS) --target kova_unit_tests kova_integration_tests
	cd build-debug && ctest --output-on-failure -j $(JOBS) --timeout 300 -R '^(unit|integration)\.'

# Coverage-guided fuzzing with libFuzzer, FUZZ_SECONDS per target.
FUZZ_SECONDS ?= 120
fuzz: deps
	@bash scripts/fuzz.sh $(FUZZ_SECONDS)

# A call between two namespace hosts for SOAK_SECONDS (root needed).
SOAK_SECONDS ?= 600
soak: build
	@SOAK_SECONDS=$(SOAK_SECONDS) bash scripts/soak.sh $(BUILD)

# A 5-minute call at the default 50 ms audio buffer as a listener hears it:
# mouth-to-ear and the output underruns Bob's side logged (root needed).
SOAK_AUDIO_SECONDS ?= 300
soak-audio: build
	@bash bench/mouth_to_ear.sh $(BUILD) 1 $(SOAK_AUDIO_SECONDS) 50

# The skinned windows at 100 % and 200 % in $(BUILD)/screenshots (root needed).
screenshots: build
	@for scale in 1 2; do bash scripts/screenshots.sh $(BUILD) $$scale $(BUILD)/screenshots || exit 1; done

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) build-asan build-tsan build-debug build-fuzz
