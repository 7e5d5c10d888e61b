# Two entry points for a fresh Debian machine: `make run` and `make test`.
JOBS ?= 2
NATIVE := build/native
ASAN := build/asan
WIN := build/win

.PHONY: deps native asan win test run bench bench-5m fuzz format clean

deps:
	@scripts/deps.sh

native: deps
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(NATIVE) -j$(JOBS)

asan: deps
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DSKIMLET_SANITIZE=ON >/dev/null
	cmake --build $(ASAN) -j$(JOBS)

win: deps
	cmake -S . -B $(WIN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(WIN) -j$(JOBS)

test: native asan win
	cd $(NATIVE) && ctest --output-on-failure -j$(JOBS)
	cd $(ASAN) && ctest --output-on-failure -j$(JOBS) -LE wine

run: native win
	scripts/run.sh

bench: native win
	scripts/bench.sh

bench-5m: native
	BENCH_ENTRIES=5000000 scripts/bench.sh

# The libFuzzer programs need clang; `make test` replays their corpora in the other trees.
fuzz: deps
	cmake -S . -B build/fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DSKIMLET_FUZZ=ON >/dev/null
	cmake --build build/fuzz -j$(JOBS) --target fuzz_record fuzz_volume fuzz_query
	scripts/fuzz.sh

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h' '*.c')

clean:
	rm -rf build
