// SPDX-License-Identifier: MIT
// The calls the demo and the end-to-end test make besides Skerrin's own:
//   install MANIFEST_URL INSTALL_ROOT   fetch, verify and unpack the runtime the way Skerrin's
//                                       installer does (until Skerrin has that command)
//   confirm BASE_URL SETUP_CODE         confirm a setup code as the demo phone
import { execFileSync } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { pipeline } from 'node:stream/promises';
import platform from '../reference-runtime/lib/platform.cjs';

const { joinUrl, platformRequest } = platform;
const DOWNLOAD_TIMEOUT_MS = 60_000;

// Streams the body to a file and its digest at once; the loopback platform speaks plain http.
function download(url, file) {
  return new Promise((resolve, reject) => {
    const hash = crypto.createHash('sha256');
    const request = http.get(url, { timeout: DOWNLOAD_TIMEOUT_MS }, (response) => {
      if (response.statusCode !== 200) {
        response.resume();
        reject(new Error(`${url} answered HTTP ${response.statusCode}`));
        return;
      }
      response.on('data', (chunk) => hash.update(chunk));
      pipeline(response, fs.createWriteStream(file)).then(() => resolve(hash.digest('hex')), reject);
    });
    request.on('timeout', () => request.destroy(new Error(`download from ${url} stalled`)));
    request.on('error', reject);
  });
}

async function install(manifestUrl, installRoot) {
  const manifest = await platformRequest('GET', manifestUrl);
  const tarballUrl = manifest.body?.tarball_url;
  if (manifest.status !== 200 || typeof tarballUrl !== 'string') throw new Error(`no runtime manifest at ${manifestUrl}`);
  const archive = path.join(os.tmpdir(), `brevant-runtime-${crypto.randomUUID().toUpperCase()}.tar.gz`);
  try {
    const digest = await download(tarballUrl, archive);
    const expected = manifest.body.sha256_tar_gz;
    if (expected && digest !== expected.toLowerCase()) throw new Error('runtime checksum mismatch');
    const runtimeRoot = path.join(installRoot, 'brevant-runtime');
    fs.mkdirSync(installRoot, { recursive: true });
    fs.rmSync(runtimeRoot, { recursive: true, force: true });
    execFileSync('tar', ['-xzf', archive, '-C', installRoot]);
    console.log(`runtime ${digest.slice(0, 12)}… from ${tarballUrl} installed to ${runtimeRoot}`);
  } finally {
    fs.rmSync(archive, { force: true });
  }
}

async function confirm(baseUrl, code) {
  const answer = await platformRequest('POST', joinUrl(baseUrl, '/v1/phone/pairing/confirm'), { body: { setup_code: code } });
  if (answer.status !== 200) throw new Error(`the platform refused the confirmation: ${answer.body?.error ?? `HTTP ${answer.status}`}`);
  console.log(`phone confirmed ${code} for ${answer.body.installation_name} • ${answer.body.workspace}`);
}

const [command, ...args] = process.argv.slice(2);
const commands = { install: [install, 2], confirm: [confirm, 2] };
try {
  const [run, arity] = commands[command] ?? [];
  if (!run || args.length !== arity) throw new Error('usage: client.mjs install MANIFEST_URL INSTALL_ROOT | confirm BASE_URL CODE');
  await run(...args);
} catch (error) {
  console.error(`client: ${error.message}`);
  process.exitCode = 1;
}
