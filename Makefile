# The set-up commands: `make run`, `make test`, `make package` (a .deb) and
# `make bench` (every benchmark, one table; BENCH_10M=1 adds the 10M ledger,
# BENCH=bench_statistics runs only the programs named,
# BENCH_FLAGS=--cpu-time times by processor time).
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

BENCH_10M ?=
BENCH ?=
BENCH_FLAGS ?=

.PHONY: run test package bench deps build clean

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD_DIR)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DKESTRUM_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS) --target benchmarks
	KESTRUM_BENCH_10M=$(BENCH_10M) $(BUILD_DIR)/bench/table/kestrum-bench-table $(BENCH_FLAGS) \
		$(BUILD_DIR)/bench bench/goals.txt $(BENCH)

package: build
	cd $(BUILD_DIR) && cpack -G DEB

clean:
	rm -rf $(BUILD_DIR)
