# glomp! — the front door.
#   make run    set up, build, and start the game (headless demo without a display)
#   make test   set up, build, and run every test
#   make install [PREFIX=/usr/local] [GAMESDIR=games] [DESTDIR=]
#               build, then install the game (see README "Playing")
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
PREFIX ?= /usr/local
# Where the launcher goes under PREFIX; passed every time, so that it never sticks.
GAMESDIR ?= games
CMAKE_FLAGS += -DGLOMP_INSTALL_GAMESDIR=$(GAMESDIR)
ifeq ($(CI),true)
CMAKE_FLAGS += -DGLOMP_WERROR=ON
endif

.PHONY: setup configure build run test demo install clean

setup:
	@bash scripts/setup-deps.sh

configure: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS) -- --no-print-directory

run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  cd $(BUILD) && ./glomp; \
	else \
	  $(MAKE) --no-print-directory demo; \
	fi

# Without a display: the whole game played headless, filmed into build/shots/.
demo: build
	@bash scripts/demo.sh $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

clean:
	rm -rf $(BUILD)
