# The two commands of the README: `make run` and `make test`.
.PHONY: run test bench fuzz deps build-release build-test clean format

deps:
	@bash scripts/install-deps.sh

build-release: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release

run: build-release
	@bash scripts/run-editor.sh build/release/ui/quillmora

build-test: deps
	@cmake --preset test >/dev/null
	@cmake --build --preset test

test: build-test
	@cd build/test && ctest --output-on-failure -j2

bench: deps
	@cmake --preset bench >/dev/null
	@cmake --build --preset bench
	@bash scripts/run-bench.sh build/bench/bench

fuzz: deps
	@bash scripts/fuzz.sh

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
