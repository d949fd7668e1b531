# Front door: `make demo` and `make test` work on a fresh Debian machine.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
DEB_BUILD  ?= build-deb
PREFIX     ?= /usr/local
FUZZ_SECONDS ?= 60
FUZZ_FLAGS ?=
JOBS       ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build check test test-asan test-tsan fuzz demo bench install deb man-pages clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

# The quick run: the unit and ui tests, in-process on the headless backend
# (under 30 s on two cores once built).
check: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 300 -L '^(unit|ui)$$'

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 300

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DMAV_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 600

# The whole suite under ThreadSanitizer. Programs the tests start inherit the
# options, so a race in any of them fails its test too. tsan.supp silences
# only what belongs to libraries outside the project.
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMAV_SANITIZE_THREAD=ON -DMAV_BUILD_BENCH=OFF
	cmake --build $(TSAN_BUILD) -j$(JOBS)
	cd $(TSAN_BUILD) && TSAN_OPTIONS="suppressions=$(CURDIR)/tsan.supp second_deadlock_stack=1 history_size=4" \
		ctest --output-on-failure -j$(JOBS) --timeout 600

# Fuzzes the BMP and ICO decoders, and PNG, JPEG, GIF and TIFF through the
# front, for FUZZ_SECONDS. The inputs the fuzzer finds go to
# $(FUZZ_BUILD)/corpus (outside the sources); the seed corpus in fuzz/corpus
# and fuzz/regressions is only read, and seeds of the other formats are
# written by the libraries into $(FUZZ_BUILD)/seeds. Crashes land in
# $(FUZZ_BUILD)/artifacts. FUZZ_FLAGS passes more libFuzzer options
# (e.g. FUZZ_FLAGS=-max_len=65536).
fuzz: deps
	@command -v clang++ >/dev/null || { echo "make fuzz needs clang (Debian package clang)"; exit 1; }
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMAV_BUILD_FUZZ=ON \
		-DMAV_BUILD_TESTS=OFF -DMAV_BUILD_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target decode_fuzzer make_fuzz_seeds
	mkdir -p $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/artifacts $(FUZZ_BUILD)/seeds
	$(FUZZ_BUILD)/fuzz/make_fuzz_seeds $(FUZZ_BUILD)/seeds
	$(FUZZ_BUILD)/fuzz/decode_fuzzer -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -malloc_limit_mb=512 \
		-timeout=10 -artifact_prefix=$(FUZZ_BUILD)/artifacts/ $(FUZZ_FLAGS) $(FUZZ_BUILD)/corpus fuzz/corpus \
		$(FUZZ_BUILD)/seeds $(wildcard fuzz/regressions)

demo: build
	@bash scripts/demo.sh $(BUILD)

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done; true

# The programs, the library, its headers, mavlib.pc and the CMake package
# under PREFIX (DESTDIR is honoured as usual).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# Debian packages mavlib and mavlib-dev in $(DEB_BUILD): an optimised build
# for /usr without the tests, whose files name no folder of this machine
# (file-prefix-map), stripped; then lintian's verdict on them.
deb:
	@bash scripts/install-deps.sh --deb
	cmake -S . -B $(DEB_BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DMAV_BUILD_TESTS=OFF \
		-DMAV_BUILD_BENCH=OFF "-DCMAKE_CXX_FLAGS=-ffile-prefix-map=$(CURDIR)=." "-DCMAKE_C_FLAGS=-ffile-prefix-map=$(CURDIR)=."
	cmake --build $(DEB_BUILD) -j$(JOBS)
	cd $(DEB_BUILD) && cpack -G DEB
	lintian --tag-display-limit 0 $(DEB_BUILD)/*.deb

# The man pages in docs/man, written again from the programs' --help.
man-pages: build
	@bash scripts/make-man-pages.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(DEB_BUILD)
