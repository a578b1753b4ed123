package launchertest;

/**
 * main returns while a non-daemon thread still works: the process must wait for that thread
 * before it ends, as the VM's destruction does.
 */
public final class Worker {
    public static void main(String[] args) throws InterruptedException {
        Thread worker = new Thread(() -> {
            try {
                Thread.sleep(500);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
            System.out.println("worker done");
        });
        worker.setDaemon(false);
        worker.start();
        System.out.println("main done");
    }
}
