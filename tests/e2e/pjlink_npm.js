// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the bridge with the npm package "pjlink" (a client nobody here wrote)
// and prints each call's error and result, one JSON line each.
// node pjlink_npm.js MODULE_DIR PORT PASSWORD
const PJLink = require(process.argv[2]);
const port = Number(process.argv[3]);
const calls = [
  ['getClass'], ['getPowerState'], ['powerOn'], ['getPowerState'], ['setInput', 'video', 2],
  ['getInput'], ['setInput', 31], ['getInput'], ['setMute', { video: true, audio: true }], ['getMute'],
  ['setMute', false], ['getMute'], ['getErrors'], ['getLamps'], ['getInputs'], ['getName'],
  ['getManufacturer'], ['getModel'], ['getInfo'], ['powerOff'], ['setInput', 'storage', 1],
];
const run = (beamer, list, done) => {
  if (!list.length) return done();
  const [name, ...args] = list[0];
  beamer[name](...args, (err, result) => {
    console.log(name, JSON.stringify([err ? err.message : null, result === undefined ? null : result]));
    run(beamer, list.slice(1), done);
  });
};
const right = new PJLink('127.0.0.1', port, process.argv[4]);
run(right, calls, () => {
  right.disconnect();
  const wrong = new PJLink('127.0.0.1', port, 'not the password');
  run(wrong, [['getPowerState']], () => wrong.disconnect());
});
