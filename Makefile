# The two commands of the README: `make run` and `make test`.
.PHONY: run test bench fuzz deps build-release build-test clean format install package

deps:
	@bash scripts/install-deps.sh

build-release: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release

run: build-release
	@bash scripts/run-editor.sh build/release/ui/quillmora

# Installs the release build: `make install` (to /usr/local),
# `make install PREFIX=~/.local`, or staged: `make install DESTDIR=/tmp/stage`.
PREFIX ?= /usr/local
install: build-release
	@cmake --install build/release --prefix "$(PREFIX)"

# A Debian package of the release build, under build/release/.
package: build-release
	@cd build/release && cpack -G DEB
	@ls build/release/quillmora_*.deb

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
