# The user's entry points. `make run` and `make test` do all the set-up on a
# fresh Debian 12: they install what is missing, build and go.
WERROR := $(if $(CI),ON,OFF)
CONFIGURE_FLAGS := -DPELLORA_WERROR=$(WERROR)
FUZZ_SECONDS ?= 100
# As many build and test jobs as the machine has processors (`make test JOBS=1` to run one at a time).
JOBS ?= $(shell nproc)

.PHONY: all deps build run test debug bench asan tsan fuzz install clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake --preset release $(CONFIGURE_FLAGS)
	cmake --build --preset release --parallel $(JOBS)

run: build
	@scripts/run.sh

test: build
	ctest --preset release --parallel $(JOBS)

debug: deps
	cmake --preset debug $(CONFIGURE_FLAGS)
	cmake --build --preset debug --parallel $(JOBS)
	ctest --preset debug --parallel $(JOBS)

bench: build
	@scripts/install-deps.sh --bench
	@scripts/bench.sh

asan: deps
	cmake --preset asan $(CONFIGURE_FLAGS)
	cmake --build --preset asan --parallel $(JOBS)
	ctest --preset asan --parallel $(JOBS)

tsan: deps
	cmake --preset tsan $(CONFIGURE_FLAGS)
	cmake --build --preset tsan --parallel $(JOBS)
	ctest --preset tsan --parallel $(JOBS)

fuzz: deps
	cmake --preset fuzz $(CONFIGURE_FLAGS)
	cmake --build --preset fuzz --parallel $(JOBS)
	@scripts/fuzz.sh build-fuzz $(FUZZ_SECONDS)

install: build
	cmake --install build $(if $(DESTDIR),,--prefix /usr/local)

clean:
	rm -rf build build-debug build-asan build-tsan build-fuzz
