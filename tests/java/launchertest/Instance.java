package launchertest;

import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;

/**
 * An application with one instance per user: open receives what later starts hand over and
 * prints it (characters outside printable ASCII as \\uXXXX). main waits until open has been
 * called as often as the property opens says (at most a minute); with kill=true the process
 * has itself killed (SIGKILL), with exit=N it calls System.exit(N). An argument throw makes
 * open throw, block makes it sleep 3 seconds. Beyond eight arguments, the last and the hash of all joined by newlines.
 * With the property ready, main makes the file it names once it has begun. With linger=true,
 * main starts a non-daemon thread that waits until main has returned and for the opens as main
 * would (at most 20 seconds), says "worker done" and ends (with exit=N: calls System.exit(N) a
 * moment later, in main's place), and main returns at once, as a desktop application's does.
 */
public final class Instance {
    private static final CountDownLatch started = new CountDownLatch(1);
    private static final CountDownLatch opened = new CountDownLatch(Integer.getInteger("opens", 0));
    private static final CountDownLatch returned = new CountDownLatch(1);

    public static void main(String[] args) throws InterruptedException, java.io.IOException {
        System.out.println("main");
        System.out.flush();
        started.countDown();
        boolean linger = Boolean.getBoolean("linger");
        if (linger) {
            new Thread(() -> {
                try {
                    returned.await(20, TimeUnit.SECONDS);
                    opened.await(20, TimeUnit.SECONDS);
                    System.out.println("worker done");
                    if (Integer.getInteger("exit") != null) {
                        System.out.flush();
                        Thread.sleep(300);
                        System.exit(Integer.getInteger("exit"));
                    }
                } catch (InterruptedException e) {
                    Thread.currentThread().interrupt();
                }
            }, "worker").start();
            System.out.println("main returns");
            System.out.flush();
        }
        if (System.getProperty("ready") != null) {
            new java.io.File(System.getProperty("ready")).createNewFile();
        }
        if (Boolean.getBoolean("kill")) {
            new ProcessBuilder("sh", "-c", "kill -KILL $PPID").start();
            Thread.sleep(60000);
        }
        if (linger) {
            returned.countDown();
            return;
        }
        if (Integer.getInteger("exit") != null) {
            System.exit(Integer.getInteger("exit"));
        }
        opened.await(60, TimeUnit.SECONDS);
        System.out.println("main done");
    }

    public static synchronized void open(String workingDirectory, String[] args) throws InterruptedException {
        try {
            // An application takes what comes once it is ready: here, once main has begun.
            started.await(60, TimeUnit.SECONDS);
            StringBuilder out = new StringBuilder("open dir=" + Probe.escape(workingDirectory) + " count=" + args.length + "\n");
            for (int i = 0; i < args.length && i < 8; i++) {
                out.append("open arg[").append(i).append("]=").append(Probe.escape(args[i])).append('\n');
            }
            if (args.length > 8) {
                out.append("open last=").append(Probe.escape(args[args.length - 1])).append(" hash=").append(String.join("\n", args).hashCode()).append('\n');
            }
            System.out.print(out);
            System.out.flush();
            if (args.length > 0 && args[0].equals("throw")) {
                throw new IllegalStateException("thrown on request");
            }
            if (args.length > 0 && args[0].equals("block")) {
                Thread.sleep(3000);
            }
        } finally {
            opened.countDown();
        }
    }
}
