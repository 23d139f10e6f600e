# make run   install what is missing, build, start (ARGS='/BACKUP' passes arguments)
# make test  install what is missing, build, run every test
# make package  build the Debian package $(BUILD)/vorlixbackup_<version>_<arch>.deb

BUILD   ?= build
JOBS    ?= $(shell nproc)
ARGS    ?=
CMAKE_FLAGS ?=

# Debian packages for building, running and testing (the archive peers zip, unzip,
# 7z and python3 check what we write and make archives we must read).
PACKAGES = build-essential cmake pkg-config qt6-base-dev libgl-dev zlib1g-dev \
           libdeflate-dev libgtest-dev googletest zip unzip 7zip python3 xvfb xauth \
           dpkg-dev desktop-file-utils appstream

.PHONY: all deps configure build run test package bench clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  if [ "$$(id -u)" = 0 ]; then SUDO=""; else SUDO="sudo"; fi; \
	  $$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing >/dev/null; \
	fi

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/vorlixbackup $(ARGS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

package: build
	cd $(BUILD) && cpack -G DEB

bench: build
	$(MAKE) -C bench BUILD=$(abspath $(BUILD))

clean:
	rm -rf $(BUILD)
