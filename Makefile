# The user's entry points. `make run` and `make test` do all the set-up on a
# fresh Debian 12: they install what is missing, build and go.
WERROR := $(if $(CI),ON,OFF)
CONFIGURE_FLAGS := -DPELLORA_WERROR=$(WERROR)
FUZZ_SECONDS ?= 100

.PHONY: all deps build run test bench asan tsan fuzz install clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake --preset release $(CONFIGURE_FLAGS)
	cmake --build --preset release

run: build
	@scripts/run.sh

test: build
	ctest --preset release

bench: build
	@scripts/install-deps.sh --bench
	@scripts/bench.sh

asan: deps
	cmake --preset asan $(CONFIGURE_FLAGS)
	cmake --build --preset asan
	ctest --preset asan

tsan: deps
	cmake --preset tsan $(CONFIGURE_FLAGS)
	cmake --build --preset tsan
	ctest --preset tsan

fuzz: deps
	cmake --preset fuzz $(CONFIGURE_FLAGS)
	cmake --build --preset fuzz
	@scripts/fuzz.sh build-fuzz $(FUZZ_SECONDS)

install: build
	cmake --install build $(if $(DESTDIR),,--prefix /usr/local)

clean:
	rm -rf build build-asan build-tsan build-fuzz
