# Sourced by the scripts: Debian's own tool folders come first, so the demo and the tests run the
# packaged tools that scripts/install-deps.sh installs and checks, never a hand-installed copy
# that a folder like /usr/local/bin or a Python version manager puts ahead of them.
PATH=/usr/sbin:/usr/bin:/sbin:/bin${PATH:+:$PATH}
export PATH
