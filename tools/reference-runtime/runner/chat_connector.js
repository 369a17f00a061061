// SPDX-License-Identifier: MIT
// The desktop connector: runs until stopped and tells the platform it is alive with the relay
// token. The env file is read again before every beat, so pairing or unpairing while it runs
// takes effect without a restart.
'use strict';

const path = require('node:path');
const { readEnvFile, joinUrl, platformRequest } = require('../lib/platform.cjs');

const root = path.resolve(__dirname, '..');
const envFile = process.env.CONFIG_ENV_FILE || path.join(root, 'config/.env');
const intervalSeconds = Number(process.env.CONNECTOR_HEARTBEAT_SECONDS) > 0 ? Number(process.env.CONNECTOR_HEARTBEAT_SECONDS) : 15;

let lastReport = '';
function report(text) {
  // One line per change, not per beat: the log stays readable for days.
  if (text === lastReport) return;
  lastReport = text;
  console.log(`${new Date().toISOString()} ${text}`);
}

async function beat() {
  const env = readEnvFile(envFile);
  const token = (env.RELAY_TOKEN || '').trim();
  const base = (env.PLATFORM_BASE_URL || env.PLATFORM_API_BASE_URL || '').trim();
  if (!token || !base) {
    report('waiting for pairing: no relay token or platform address in the env file');
    return;
  }
  try {
    const answer = await platformRequest('POST', joinUrl(base, '/v1/desktop/heartbeat'), {
      token,
      body: { workspace: env.CONNECTOR_WORKSPACE || '', pid: process.pid },
    });
    if (answer.status === 200) report(`online: heartbeat accepted by ${base}`);
    else if (answer.status === 401) report('heartbeat refused: the platform no longer knows this pairing');
    else report(`heartbeat failed: HTTP ${answer.status}`);
  } catch (error) {
    report(`heartbeat failed: ${error.message}`);
  }
}

let timer = null;
async function loop() {
  await beat();
  timer = setTimeout(loop, intervalSeconds * 1000);
}

// SIGHUP is left alone: the start script runs us under nohup so a closed terminal does not stop us.
for (const signal of ['SIGTERM', 'SIGINT']) {
  process.on(signal, () => {
    clearTimeout(timer);
    report(`stopped (${signal})`);
    process.exit(0);
  });
}

report(`connector started (pid ${process.pid}), env file ${envFile}`);
loop();
