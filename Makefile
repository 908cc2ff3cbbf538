# The two commands of the README. Both build and run inside an environment that
# has SFML 3 (natively, or a Debian sid root made on first use: scripts/sfml-env).
# The last test steps run on the host: they build games of their own, outside the
# repository, through scripts/sfml-env (one with the engine as a subdirectory, one against
# the engine installed into a prefix out there, installed and played from another folder),
# then build for Windows (its sources from ../shared/vendor/windows when there) and test
# that build under Wine, and build the Linux release in a Debian 12 root and play it on a
# bare one. The libraries and roots those last stages need the first time are built
# meanwhile, in the background, at the lowest priority (scripts/warm-up).
.PHONY: run test docs clean

run:
	MOLTRIX_PURPOSE=play scripts/sfml-env scripts/run

test:
	scripts/warm-up
	scripts/sfml-env scripts/test
	scripts/test-package subdirectory
	scripts/test-package outside
	scripts/test-windows
	scripts/test-linux-release

# The engine's API reference: build/docs/html/index.html
docs:
	scripts/sfml-env doxygen docs/Doxyfile

clean:
	rm -rf build
