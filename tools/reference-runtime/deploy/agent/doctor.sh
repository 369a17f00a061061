#!/usr/bin/env bash
echo "doctor: runtime at $(cd "$(dirname "$0")/../.." && pwd)"
command -v node >/dev/null 2>&1 && echo "node: $(command -v node)" || echo "node: missing"
